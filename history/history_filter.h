#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// Which records `telvarin-cli history` lists, newest first.
struct HistoryFilter {
    QString port;                  // "COM 3" or a device path; matches the port as given or its device
    std::optional<int> slaveId;
    QDateTime since;               // UTC; invalid for all
    QString result;                // "ok", "differs" …; empty for all
    int limit = 50;
};

// "COM 3" for "3", "com3" or "COM 3"; a device path as it is. The history
// keeps ports in this form, so one unit's records are found however it was typed.
QString normalPortName(const QString &port);

// "2024-03-05" (midnight UTC) or "2024-03-05T10:00:00" (UTC unless it
// says otherwise); an invalid time when it is neither.
QDateTime parseSinceDate(const QString &text);

// The form the history keeps times in: text that sorts as the times do.
QString storedTime(const QDateTime &time);
