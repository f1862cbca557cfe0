#pragma once

#include "history/history_record.h"
#include "transfer/device_read.h"
#include "transfer/device_write.h"
#include "transfer/write_check.h"

#include <optional>

// The window's Read and Write as history records: command, result, failed
// fields, the differences its check found, slave ID and table. Where the unit is (port, device) and who ran
// it are the caller's to add. `lineLost`: a run that stopped early stopped
// because the line went, not because the operator asked.
HistoryRecord readRecord(const ReadOutcome &outcome, bool lineLost, const ChannelTable &table, std::optional<int> slaveId);
// `check`: the read-back after the Write, when one ran.
HistoryRecord writeRecord(const WriteOutcome &outcome, bool lineLost, const WriteRequest &request,
                          const WriteCheck *check = nullptr);
