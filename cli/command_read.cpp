#include "cli/cli_output.h"
#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/serial_host.h"
#include "cli/stop_signals.h"
#include "configfile/config_file.h"

#include <cstdio>

namespace {

bool toStandardOutput(const QString &file) { return file == QLatin1String("-"); }

// The file goes out whole or not at all: through the same safe save as the
// window's, or in one piece to standard output.
bool store(const QString &file, const ChannelTable &rows)
{
    if (toStandardOutput(file)) {
        // The same refusal as the safe save: no output that would not load back exactly.
        if (const std::optional<UnsavableChannel> unsavable = findUnsavableChannel(rows)) {
            printError(QStringLiteral("standard output: Channel %1 cannot be kept exactly in the file. %2")
                           .arg(unsavable->channel)
                           .arg(unsavable->reason));
            return false;
        }
        const QByteArray bytes = formatConfig(rows);
        if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) != size_t(bytes.size())
            || std::fflush(stdout) != 0) {
            printError(QStringLiteral("standard output: the table could not be written."));
            return false;
        }
        return true;
    }
    const FileResult saved = saveConfigFile(file, rows);
    if (!saved.ok)
        printError(QStringLiteral("%1: %2").arg(file, saved.error));
    return saved.ok;
}

}  // namespace

int runRead(const Invocation &run)
{
    const QString target = toStandardOutput(run.file) ? QStringLiteral("nothing was written")
                                                      : QStringLiteral("%1 was not written").arg(run.file);
    SerialHost host;
    if (!openPort(host, run.port))
        return kExitUsage;
    const ModemReading reading = readModem(host, run.quiet);
    if (reading.outcome.status == ReadOutcome::Stopped || stopSignal())
        return stoppedRun(host, target);
    host.close();
    if (reading.outcome.status == ReadOutcome::NoAnswer) {
        printError(QStringLiteral("%1: Cannot communicate with device (no answer to the first read); %2.")
                       .arg(host.label(), target));
        return kExitDevice;
    }
    if (!store(run.file, reading.rows))
        return kExitUsage;
    const QString missed = missedFields(reading.outcome);
    if (!missed.isEmpty()) {
        printError(QStringLiteral("%1: the modem did not answer every read; left empty: %2.").arg(host.label(), missed));
        return kExitDevice;
    }
    if (!run.quiet)
        printLine(stderr, QStringLiteral("%1: read the table (slave ID %2).")
                              .arg(host.label(), reading.slaveId ? QString::number(*reading.slaveId)
                                                                 : QStringLiteral("outside 1 to 32")));
    return kExitOk;
}
