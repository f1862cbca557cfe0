#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/serial_host.h"
#include "cli/unit_job.h"
#include "transfer/no_answer.h"

#include <algorithm>

void checkUnit(SerialHost &host, const UnitJob &job, UnitResult &result, const QString &before)
{
    result.checked = true;
    const ModemReading reading = readModem(host);
    result.outcome = reading.outcome;
    const QString written = before.isEmpty() ? QString() : before + QStringLiteral(", but ");
    if (reading.outcome.status == ReadOutcome::Stopped)
        return stoppedRun(host, written + QStringLiteral("nothing was checked"), result);
    host.close();
    if (reading.outcome.status == ReadOutcome::NoAnswer) {
        result.errors.append(before.isEmpty()
                                 ? QStringLiteral("%1: %2 (no answer to the first read); nothing was checked.").arg(host.label(), noAnswerText())
                                 : QStringLiteral("%1: %2the modem did not answer when it was read back; nothing was checked.").arg(host.label(), written));
        result.result = UnitResult::NoAnswer;
        return;
    }
    result.differences = compareWithModem(*job.table, job.unit.slaveId, reading);
    const qsizetype count = std::count_if(result.differences.cbegin(), result.differences.cend(),
                                          [](const Difference &d) { return !d.notChecked; });
    const QString counted = QStringLiteral("%1 %2").arg(count).arg(count == 1 ? QStringLiteral("difference") : QStringLiteral("differences"));
    const QString found = before.isEmpty() ? QStringLiteral("%1 from %2").arg(counted, job.unit.file) : counted;
    // A field the modem did not give is neither the same nor different: the
    // unit is not known to be right, whatever the rest holds.
    if (const QString missed = missedFields(reading.outcome); !missed.isEmpty()) {
        result.errors.append(QStringLiteral("%1: %2the modem did not answer every read (%3), so those fields were not "
                                            "checked; %4 in the rest.").arg(host.label(), written, missed, found));
        result.result = UnitResult::Incomplete;
        return;
    }
    if (count > 0) {
        result.errors.append(before.isEmpty() ? QStringLiteral("%1: %2.").arg(host.label(), found)
                                              : QStringLiteral("%1: %2, but read back the modem shows %3.").arg(host.label(), before, counted));
        result.result = UnitResult::Differs;
        return;
    }
    result.result = UnitResult::Ok;
    result.exitCode = kExitOk;
    result.note = before.isEmpty() ? QStringLiteral("%1: holds the table of %2%3.")
                                         .arg(host.label(), job.unit.file,
                                              job.unit.slaveId ? QStringLiteral(" and slave ID %1").arg(*job.unit.slaveId) : QString())
                                   : QStringLiteral("%1: %2; read back, the modem holds them.").arg(host.label(), before);
}

void verifyUnit(SerialHost &host, const UnitJob &job, UnitResult &result) { checkUnit(host, job, result, {}); }
