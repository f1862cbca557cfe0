#include "cli/unit_history.h"

#include "cli/json_report.h"
#include "history/history_filter.h"
#include "history/history_recorder.h"
#include "history/outcome_fields.h"
#include "history/table_digest.h"

#include <QFileInfo>

namespace {

HistoryRecord unitRecord(Invocation::Command command, const UnitJob &job, const UnitResult &result)
{
    HistoryRecord record;
    record.command = commandName(command);
    record.port = normalPortName(result.port);
    record.portLabel = result.label;
    record.device = result.device;
    stampRecord(record);
    record.slaveId = result.slaveId;
    // A write or verify keeps the file's table, the one the unit should
    // hold; a read the modem's, when it was read whole.
    const std::optional<ChannelTable> table = command == Invocation::Read ? result.table
                                            : job.table ? std::optional(*job.table) : std::nullopt;
    if (table) {
        const TableDigest digest = digestTable(*table);
        record.table = digest.savedForm;
        record.tableSha256 = digest.sha256;
    }
    if (command != Invocation::Read || result.file != QLatin1String("-"))
        record.file = QFileInfo(result.file).absoluteFilePath();
    record.result = resultName(result.result);
    // Named as the JSON report names them.
    record.failedFields = failedFieldsJson(result.outcome);
    record.differences = differencesJson(result.differences);
    return record;
}

HistoryTarget runTarget(const Invocation &run, QString *error) { return historyTarget(run.history, run.noHistory, error); }

}  // namespace

UnitHistory::UnitHistory(const Invocation &run)
    : command_(run.command), writer_(runTarget(run, &targetError_))
{
}

QString UnitHistory::record(const QList<UnitJob> &jobs, const QList<UnitResult> &results)
{
    if (!targetError_.isEmpty())
        return notRecordedLine(QStringLiteral("TELVARIN_HISTORY: ") + targetError_, results.size());
    QList<HistoryRecord> records;
    for (qsizetype at = 0; at < results.size() && at < jobs.size(); ++at)
        records.append(unitRecord(command_, jobs[at], results[at]));
    return writer_.record(records);
}
