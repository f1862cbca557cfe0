#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/serial_host.h"
#include "cli/unit_job.h"

#include <algorithm>

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
    result.differences = compareWithModem(*job.table, job.unit.slaveId, reading);
    const qsizetype count = std::count_if(result.differences.cbegin(), result.differences.cend(),
                                          [](const Difference &d) { return !d.notChecked; });
    const QString found = QStringLiteral("%1 %2 from %3").arg(count)
                              .arg(count == 1 ? QStringLiteral("difference") : QStringLiteral("differences"), job.unit.file);
    // A field the modem did not give is neither the same nor different: the
    // unit is not known to be right, whatever the rest holds.
    if (const QString missed = missedFields(reading.outcome); !missed.isEmpty()) {
        result.errors.append(QStringLiteral("%1: the modem did not answer every read (%2), so those fields were not "
                                            "checked; %3 in the rest.").arg(host.label(), missed, found));
        result.result = UnitResult::Incomplete;
        return;
    }
    if (count > 0) {
        result.errors.append(QStringLiteral("%1: %2.").arg(host.label(), found));
        result.result = UnitResult::Differs;
        return;
    }
    result.result = UnitResult::Ok;
    result.exitCode = kExitOk;
    result.note = QStringLiteral("%1: holds the table of %2%3.")
                      .arg(host.label(), job.unit.file,
                           job.unit.slaveId ? QStringLiteral(" and slave ID %1").arg(*job.unit.slaveId) : QString());
}
