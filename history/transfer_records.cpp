#include "history/transfer_records.h"

#include "history/outcome_fields.h"
#include "history/table_digest.h"

namespace {

void keepTable(HistoryRecord &record, const ChannelTable &table)
{
    const TableDigest digest = digestTable(table);
    record.table = digest.savedForm;
    record.tableSha256 = digest.sha256;
}

QString stoppedResult(bool lineLost) { return lineLost ? QStringLiteral("failed") : QStringLiteral("interrupted"); }

}  // namespace

HistoryRecord readRecord(const ReadOutcome &outcome, bool lineLost, const ChannelTable &table, std::optional<int> slaveId)
{
    HistoryRecord record;
    record.command = QStringLiteral("read");
    record.failedFields = failedFieldsJson(outcome);
    const bool whole = outcome.status == ReadOutcome::Completed && record.failedFields.isEmpty();
    record.result = outcome.status == ReadOutcome::NoAnswer ? QStringLiteral("no-answer")
                  : outcome.status == ReadOutcome::Stopped  ? stoppedResult(lineLost)
                  : whole                                   ? QStringLiteral("ok") : QStringLiteral("incomplete");
    // Only a whole reading is the modem's table; anything else is partly the window's old one.
    if (whole) {
        keepTable(record, table);
        record.slaveId = slaveId;
    }
    return record;
}

HistoryRecord writeRecord(const WriteOutcome &outcome, bool lineLost, const WriteRequest &request, const WriteCheck *check)
{
    HistoryRecord record;
    record.command = QStringLiteral("write");
    record.result = outcome.status == WriteOutcome::Completed ? QStringLiteral("ok")
                  : outcome.status == WriteOutcome::NoAnswer  ? QStringLiteral("no-answer")
                  : outcome.status == WriteOutcome::Stalled   ? QStringLiteral("failed") : stoppedResult(lineLost);
    // The read-back after a complete Write decides whether the modem holds it.
    if (outcome.completed() && check) {
        const ReadOutcome &read = check->reading.outcome;
        record.failedFields = failedFieldsJson(read);
        record.differences = differencesJson(check->differences);
        record.result = read.status == ReadOutcome::NoAnswer ? QStringLiteral("no-answer")
                      : read.status == ReadOutcome::Stopped  ? stoppedResult(lineLost)
                      : check->differs()                     ? QStringLiteral("differs")
                      : !record.failedFields.isEmpty()       ? QStringLiteral("incomplete") : QStringLiteral("ok");
    }
    record.slaveId = request.slaveId;
    keepTable(record, request.rows);
    return record;
}
