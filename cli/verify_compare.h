#pragma once

#include "transfer/modem_reading.h"
#include "model/channel_row.h"

#include <QStringList>

#include <optional>

// Compares what a Read got (`modem`) with the file's table and, when given,
// the slave ID that was written. One line for each place where the modem
// does not hold what the file says or could not be read, by channel and field.
// Only for a table that a Write would send (every character comes back).
QStringList compareWithModem(const ChannelTable &file, std::optional<int> slaveId, const ModemReading &modem);
