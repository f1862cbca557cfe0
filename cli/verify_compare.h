#pragma once

#include "cli/modem_reading.h"
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
};

// Compares what a Read got (`modem`) with the file's table and, when given,
// the slave ID that was written, by channel and field, in channel order.
// Only for a table that a Write would send (every character comes back).
QList<Difference> compareWithModem(const ChannelTable &file, std::optional<int> slaveId, const ModemReading &modem);

// The difference for a person: "Channel 2 message: the modem has "x", the file has "y"."
QString differenceLine(const Difference &difference);

// "slave ID", "enabled", "phone number", "message"
QString fieldName(Difference::Field field);
