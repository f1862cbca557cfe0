#include "cli/unit_commands.h"

#include "cli/serial_host.h"
#include "cli/stop_signals.h"
#include "configfile/config_file.h"
#include "configfile/savable_check.h"
#include "model/limit_texts.h"
#include "transfer/device_write.h"
#include "transfer/no_answer.h"

#include <QElapsedTimer>

#include <algorithm>

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

// A whole Read of the modem.
ModemReading readModem(SerialHost &host)
{
    ModemReading reading;
    reading.outcome = runDeviceRead(host, reading);
    return reading;
}

// A stop asked for after the last command is still a stop: the run ends as
// interrupted, whatever the reading holds.
bool stoppedReading(const ModemReading &reading)
{
    return reading.outcome.status == ReadOutcome::Stopped || stopSignal() != 0;
}

// After a transfer that ended early: closes the port and puts into `result`
// why and the exit code. `leftBehind` tells what the stop means for the user's data;
// it may start a sentence, so it begins with a word of ours, not a name.
void stoppedRun(SerialHost &host, const QString &leftBehind, UnitResult &result)
{
    const QString lineLoss = host.link().takeLineLoss();
    host.close();
    if (const int signal = stopSignal()) {
        result.errors.append(QStringLiteral("%1: interrupted; %2.").arg(host.label(), leftBehind));
        result.result = UnitResult::Interrupted;
        result.exitCode = exitForSignal(signal);
        return;
    }
    result.errors.append(lineLoss.isEmpty()
                             ? QStringLiteral("%1: the port closed during the run; %2.").arg(host.label(), leftBehind)
                             : QStringLiteral("%1 %2%3.").arg(lineLoss, leftBehind.left(1).toUpper(), leftBehind.mid(1)));
    result.result = UnitResult::Failed;
    result.exitCode = kExitDevice;
}

void readUnit(SerialHost &host, const UnitJob &job, UnitResult &result)
{
    const QString &file = job.unit.file;
    const QString target = toStandardOutput(file) ? QStringLiteral("no file was written")
                                                  : QStringLiteral("the file %1 was not written").arg(file);
    const ModemReading reading = readModem(host);
    result.outcome = reading.outcome;
    result.slaveId = reading.slaveId;
    if (stoppedReading(reading))
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

// Reads the modem back and compares it with the job's table (and slave ID),
// as verify reports it; `before` says what the unit did first ("wrote …"),
// empty for verify.
void checkUnit(SerialHost &host, const UnitJob &job, UnitResult &result, const QString &before)
{
    result.checked = true;
    const ModemReading reading = readModem(host);
    result.outcome = reading.outcome;
    const QString written = before.isEmpty() ? QString() : before + QStringLiteral(", but ");
    if (stoppedReading(reading))
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

}  // namespace

UnitResult runUnit(const UnitJob &job, const UnitProgress &progress)
{
    QElapsedTimer clock;
    clock.start();
    UnitResult result;
    result.port = job.unit.port.name;
    result.label = job.unit.port.name;
    result.slaveId = job.unit.slaveId;
    result.file = job.unit.file;
    SerialHost host;
    host.link().setEndOnWholeReply(job.fast);
    host.setProgressSink(progress.percent);
    QString error;
    if (!host.open(job.unit.port, &error)) {
        result.errors.append(error);
        result.exitCode = kExitUsage;
        // Ctrl-C while a network port was still connecting.
        if (const int signal = stopSignal()) {
            result.result = UnitResult::Interrupted;
            result.exitCode = exitForSignal(signal);
        }
    } else {
        result.label = host.label();
        result.device = host.device();
        if (progress.opened)
            progress.opened(result.label);
        if (job.command == Invocation::Read)
            readUnit(host, job, result);
        else if (job.command == Invocation::Write)
            writeUnit(host, job, result);
        else
            verifyUnit(host, job, result);
    }
    result.durationMs = clock.elapsed();
    return result;
}
