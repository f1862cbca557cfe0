#include "cli/cli_output.h"
#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/progress_bar.h"
#include "cli/serial_host.h"
#include "transfer/device_write.h"

int runWrite(const Invocation &run)
{
    const std::optional<ChannelTable> table = loadWholeFile(run.file);
    if (!table)
        return kExitUsage;
    // Refused where the window refuses, before the port is even opened.
    const WriteRequest request{*run.slaveId, *table};
    if (reportWriteProblems(run.file, request))
        return kExitUsage;

    SerialHost host;
    if (!openPort(host, run.port))
        return kExitUsage;
    WriteOutcome outcome;
    {
        ProgressBar bar(QStringLiteral("Writing %1").arg(host.label()), !run.quiet && ProgressBar::stderrIsTerminal());
        host.setProgressBar(&bar);
        outcome = runDeviceWrite(host, request);
        host.setProgressBar(nullptr);
    }
    if (outcome.status == WriteOutcome::Stalled) {
        host.close();
        printError(QStringLiteral("%1: %2").arg(host.label(), writeShortfallText(outcome)));
        return kExitDevice;
    }
    if (!outcome.completed())
        return stoppedRun(host, commandsReachedText(outcome));
    host.close();
    // The modem's answers to a write carry no meaning: verify is the check.
    if (!run.quiet)
        printLine(stderr, QStringLiteral("%1: wrote slave ID %2 and the table of %3.")
                              .arg(host.label()).arg(*run.slaveId).arg(run.file));
    return kExitOk;
}
