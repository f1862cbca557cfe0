#pragma once

#include "transfer/modem_reading.h"
#include "model/channel_row.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <optional>

// One place where the modem does not hold what the file says, or that could
// not be checked because the modem did not answer its read.
struct Difference {
    enum Field { SlaveId, Enabled, PhoneNo, Message };
    Field field = SlaveId;
    int channel = -1;          // 0-based; -1 for the slave ID
    bool notChecked = false;
    // SlaveId: int (null when the modem has one outside 1 to 32); Enabled:
    // bool; PhoneNo, Message: QString, as the Read decodes it.
    QVariant modem;
    QVariant file;
    // PhoneNo, Message: the modem's slot up to its NUL when it holds more
    // than `modem` shows (a byte above 127 ended the text); else empty.
    QByteArray modemBytes;
    // PhoneNo: the modem's slot holds no end mark, so the number it dials
    // runs on into the next slot.
    bool runsOn = false;
};

// Compares what a Read got (`modem`) with the table that was written (a
// file's, or the window's) and, when given, the slave ID, by channel and
// field, in channel order. Only for a table that a Write would send (every
// character comes back).
QList<Difference> compareWithModem(const ChannelTable &file, std::optional<int> slaveId, const ModemReading &modem);

// The difference for a person: "Channel 2 message: the modem has "x", the file has "y"."
// `ours` names where the expected values come from ("file", "table").
QString differenceLine(const Difference &difference, const QString &ours = QStringLiteral("file"));

// "slave ID", "enabled", "phone number", "message"
QString fieldName(Difference::Field field);
