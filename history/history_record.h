#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonArray>
#include <QString>

#include <optional>

// One unit's Read, Write or verify as the history keeps it.
struct HistoryRecord {
    qint64 id = 0;                  // given by the store
    QDateTime time;                 // UTC
    QString host;
    QString user;
    QString program;                // "telvarin-cli", "telvarin"
    QString command;                // "read", "write", "verify"
    QString port;                   // "COM 3", or the device path as given
    QString portLabel;              // "COM 3 (/dev/ttyUSB0)"
    QString device;                 // empty when the port did not open
    QString adapterSerial;          // USB adapters; empty where unknown
    QString adapterDescription;
    std::optional<int> slaveId;
    QByteArray table;               // the table in the saved form; empty when there was none whole
    QString tableSha256;            // of `table`, in hex; empty with it
    QString file;                   // the configuration file used, if any
    QString result;                 // "ok", "differs", "no-answer", "incomplete", "failed", "interrupted"
    QJsonArray failedFields;        // {channel, field} the modem did not give
    QJsonArray differences;         // verify: {channel, field, modem, file}
};
