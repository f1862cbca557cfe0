#pragma once

#include "cli/modem_reading.h"
#include "model/channel_row.h"

#include <QStringList>

#include <optional>

struct VerifyFindings {
    // Where the modem does not hold what the file says, or could not be read:
    // one line each, by channel and field.
    QStringList differences;
    // Texts that match as far as the modem can give them back, but hold
    // characters a Read never returns, so their rest was not checked.
    QStringList notChecked;
};

// Compares what a Read got (`modem`) with the file's table and, when given,
// the slave ID that was written.
VerifyFindings compareWithModem(const ChannelTable &file, std::optional<int> slaveId, const ModemReading &modem);
