#include "cli/command_support.h"
#include "model/limit_texts.h"
#include "cli/commands.h"
#include "cli/serial_host.h"
#include "cli/stop_signals.h"
#include "cli/unit_job.h"
#include "configfile/config_file.h"
#include "configfile/savable_check.h"
#include "transfer/no_answer.h"

namespace {

bool toStandardOutput(const QString &file) { return file == QLatin1String("-"); }

// The file goes out whole or not at all: through the same safe save as the
// window's. Standard output is written by the main thread, after the same
// refusal as the safe save: no output that would not load back exactly.
bool store(const QString &file, const ChannelTable &rows, UnitResult &result)
{
    if (toStandardOutput(file)) {
        const SavableFile savable = savableFile(rows);
        if (!savable.refusal.isEmpty()) {
            result.errors.append(QStringLiteral("standard output: %1").arg(savable.refusal));
            return false;
        }
        result.standardOutput = savable.bytes;
        return true;
    }
    const FileResult saved = saveConfigFile(file, rows);
    if (!saved.ok)
        result.errors.append(QStringLiteral("%1: %2").arg(file, saved.error));
    return saved.ok;
}

}  // namespace

void readUnit(SerialHost &host, const UnitJob &job, UnitResult &result)
{
    const QString &file = job.unit.file;
    const QString target = toStandardOutput(file) ? QStringLiteral("no file was written")
                                                  : QStringLiteral("the file %1 was not written").arg(file);
    const ModemReading reading = readModem(host);
    result.outcome = reading.outcome;
    result.slaveId = reading.slaveId;
    if (reading.outcome.status == ReadOutcome::Stopped || stopSignal())
        return stoppedRun(host, target, result);
    host.close();
    if (reading.outcome.status == ReadOutcome::NoAnswer) {
        result.errors.append(QStringLiteral("%1: %2 (no answer to the first read); %3.")
                                 .arg(host.label(), noAnswerText(), target));
        result.result = UnitResult::NoAnswer;
        return;
    }
    // A table with holes would load and write back without a word: only a
    // whole reading is kept.
    if (const QString missed = missedFields(reading.outcome); !missed.isEmpty()) {
        result.errors.append(QStringLiteral("%1: the modem did not answer every read (%2); %3.").arg(host.label(), missed, target));
        result.result = UnitResult::Incomplete;
        return;
    }
    result.table = reading.rows;
    result.phoneNoBytes = reading.phoneNoBytes;
    result.messageBytes = reading.messageBytes;
    if (!store(file, reading.rows, result)) {
        result.exitCode = kExitUsage;
        return;
    }
    result.result = UnitResult::Ok;
    result.exitCode = kExitOk;
    // A slave ID no write can set back, or a number the modem dials joined
    // with the next one, is said even though the table was read whole.
    const ReadOutcome &got = reading.outcome;
    const QString slaveId = got.slaveIdNotTakenOver
                                ? QStringLiteral("%1, outside %2: not kept, and no write sets it back")
                                      .arg(*got.slaveIdNotTakenOver).arg(slaveIdTakenOverRange())
                                : QString::number(reading.slaveId.value_or(0));
    const QString runOn = phoneNosRunOn(got);
    result.note = QStringLiteral("%1: read the table (slave ID %2)%3.")
                      .arg(host.label(), slaveId, runOn.isEmpty() ? QString() : QStringLiteral("; ") + runOn);
}
