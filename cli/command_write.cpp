#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/serial_host.h"
#include "cli/unit_job.h"
#include "transfer/device_write.h"

void writeUnit(SerialHost &host, const UnitJob &job, UnitResult &result)
{
    const WriteOutcome outcome = runDeviceWrite(host, WriteRequest{*job.unit.slaveId, *job.table});
    if (outcome.status == WriteOutcome::Stalled) {
        host.close();
        result.errors.append(QStringLiteral("%1: %2").arg(host.label(), writeShortfallText(outcome)));
        return;
    }
    if (!outcome.completed())
        return stoppedRun(host, commandsReachedText(outcome), result);
    host.close();
    // The modem's answers to a write carry no meaning: verify is the check.
    result.result = UnitResult::Ok;
    result.exitCode = kExitOk;
    result.note = QStringLiteral("%1: wrote slave ID %2 and the table of %3.").arg(host.label()).arg(*job.unit.slaveId).arg(job.unit.file);
}
