#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/serial_host.h"
#include "cli/unit_job.h"
#include "transfer/device_write.h"
#include "transfer/no_answer.h"

void writeUnit(SerialHost &host, const UnitJob &job, UnitResult &result)
{
    // The "E2" asked first, and the reads of --verify, end once their whole
    // reply is in; every write command keeps its full 200 ms.
    host.link().setEndOnWholeReply(true);
    result.checked = job.verify;
    const WriteOutcome outcome = runDeviceWrite(host, WriteRequest{*job.unit.slaveId, *job.table});
    if (outcome.status == WriteOutcome::NoAnswer) {
        host.close();
        result.errors.append(QStringLiteral("%1: %2 (no answer to the first read); nothing was written.")
                                 .arg(host.label(), noAnswerText()));
        result.result = UnitResult::NoAnswer;
        return;
    }
    if (outcome.status == WriteOutcome::Stalled) {
        host.close();
        result.errors.append(QStringLiteral("%1: %2").arg(host.label(), writeShortfallText(outcome)));
        return;
    }
    if (!outcome.completed())
        return stoppedRun(host, commandsReachedText(outcome), result);
    const QString wrote = QStringLiteral("wrote slave ID %1 and the table of %2").arg(*job.unit.slaveId).arg(job.unit.file);
    if (job.verify)
        return checkUnit(host, job, result, wrote);
    host.close();
    // Without --verify the modem's answers to a write carry no meaning.
    result.result = UnitResult::Ok;
    result.exitCode = kExitOk;
    result.note = QStringLiteral("%1: %2.").arg(host.label(), wrote);
}
