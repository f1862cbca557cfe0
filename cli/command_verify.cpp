#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/serial_host.h"
#include "cli/unit_job.h"

void verifyUnit(SerialHost &host, const UnitJob &job, UnitResult &result)
{
    const ModemReading reading = readModem(host);
    result.outcome = reading.outcome;
    if (reading.outcome.status == ReadOutcome::Stopped)
        return stoppedRun(host, QStringLiteral("nothing was checked"), result);
    host.close();
    if (reading.outcome.status == ReadOutcome::NoAnswer) {
        result.errors.append(QStringLiteral("%1: Cannot communicate with device (no answer to the first read); nothing was checked.")
                                 .arg(host.label()));
        result.result = UnitResult::NoAnswer;
        return;
    }
    result.differences = compareWithModem(job.table, job.unit.slaveId, reading);
    if (const qsizetype count = result.differences.size(); count > 0) {
        result.errors.append(QStringLiteral("%1: %2 %3 from %4.")
                                 .arg(host.label()).arg(count)
                                 .arg(count == 1 ? QStringLiteral("difference") : QStringLiteral("differences"), job.unit.file));
        result.result = UnitResult::Differs;
        return;
    }
    result.result = UnitResult::Ok;
    result.exitCode = kExitOk;
    result.note = QStringLiteral("%1: holds the table of %2%3.")
                      .arg(host.label(), job.unit.file,
                           job.unit.slaveId ? QStringLiteral(" and slave ID %1").arg(*job.unit.slaveId) : QString());
}
