#pragma once

#include "cli/exit_codes.h"
#include "transfer/verify_compare.h"
#include "model/channel_row.h"
#include "transfer/device_read.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// How one unit's run ended, for the summary, the JSON report and the exit code.
struct UnitResult {
    enum Result { Ok, Differs, NoAnswer, Incomplete, Failed, Interrupted };
    QString port;                  // as typed
    QString label;                 // "COM 1 (/dev/ttyUSB0)", or the port as typed when it did not open
    QString device;                // what was opened; empty when it did not open
    std::optional<int> slaveId;    // write, verify: the one asked for; read: the modem's
    QString file;
    Result result = Failed;
    int exitCode = kExitDevice;
    qint64 durationMs = 0;
    QStringList errors;            // lines for standard error
    QString note;                  // what was done, when all went well
    ReadOutcome outcome;           // read, verify: the fields the modem did not give
    QList<Difference> differences; // verify, write --verify
    bool checked = false;          // verify, write --verify: the report lists the differences
    std::optional<ChannelTable> table;  // read: the modem's table, when it was read whole
    std::array<QByteArray, kChannelCount> phoneNoBytes, messageBytes;  // read: each slot up to its NUL
    std::optional<QByteArray> standardOutput;  // read: the file's bytes, for standard output
};

// "ok", "differs", "no-answer", "incomplete", "failed", "interrupted"
QString resultName(UnitResult::Result result);
