#include "cli/cli_output.h"
#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/serial_host.h"
#include "cli/stop_signals.h"
#include "configfile/config_file.h"
#include "configfile/regular_file.h"

#include <QFileInfo>

#include <cstdio>

namespace {

bool toStandardOutput(const QString &file) { return file == QLatin1String("-"); }

// Why the table could not be saved at `file`, known before the modem is
// asked: a read of several seconds must not end in a refusal.
QString outputProblem(const QString &file)
{
    if (const QString problem = saveTargetProblem(file); !problem.isEmpty())
        return problem;
    const QFileInfo folder(QFileInfo(file).absolutePath());
    if (!folder.isDir())
        return QStringLiteral("The folder %1 does not exist.").arg(folder.filePath());
    if (!folder.isWritable())
        return QStringLiteral("The folder %1 cannot be written to.").arg(folder.filePath());
    return {};
}

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
    if (!toStandardOutput(run.file)) {
        if (const QString problem = outputProblem(run.file); !problem.isEmpty()) {
            printError(QStringLiteral("%1: %2 Nothing was read.").arg(run.file, problem));
            return kExitUsage;
        }
    }
    SerialHost host;
    host.link().setEndOnWholeReply(run.fast);
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
    // A table with holes would load and write back without a word: only a
    // whole reading is kept.
    if (const QString missed = missedFields(reading.outcome); !missed.isEmpty()) {
        printError(QStringLiteral("%1: the modem did not answer every read (%2); %3.").arg(host.label(), missed, target));
        return kExitDevice;
    }
    if (!store(run.file, reading.rows))
        return kExitUsage;
    if (!run.quiet)
        printLine(stderr, QStringLiteral("%1: read the table (slave ID %2).")
                              .arg(host.label(), reading.slaveId ? QString::number(*reading.slaveId)
                                                                 : QStringLiteral("outside 1 to 32")));
    return kExitOk;
}
