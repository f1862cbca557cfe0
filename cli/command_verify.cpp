#include "cli/cli_output.h"
#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/serial_host.h"
#include "cli/verify_compare.h"
#include "transfer/device_write.h"

int runVerify(const Invocation &run)
{
    const std::optional<ChannelTable> table = loadWholeFile(run.file);
    if (!table)
        return kExitUsage;
    // A text that a Write would refuse can never be read back as the file has it.
    if (reportWriteProblems(run.file, WriteRequest{run.slaveId.value_or(kFirstSlaveId) - 1, *table}))
        return kExitUsage;
    SerialHost host;
    host.link().setEndOnWholeReply(run.fast);
    if (!openPort(host, run.port))
        return kExitUsage;
    const ModemReading reading = readModem(host, run.quiet);
    if (reading.outcome.status == ReadOutcome::Stopped)
        return stoppedRun(host, QStringLiteral("nothing was checked"));
    host.close();
    if (reading.outcome.status == ReadOutcome::NoAnswer) {
        printError(QStringLiteral("%1: Cannot communicate with device (no answer to the first read); nothing was checked.")
                       .arg(host.label()));
        return kExitDevice;
    }

    const QStringList differences = compareWithModem(*table, run.slaveId, reading);
    for (const QString &line : differences)
        printLine(stdout, line);
    if (!differences.isEmpty()) {
        const qsizetype count = differences.size();
        printError(QStringLiteral("%1: %2 %3 from %4.")
                       .arg(host.label()).arg(count)
                       .arg(count == 1 ? QStringLiteral("difference") : QStringLiteral("differences"), run.file));
        return kExitDevice;
    }
    if (!run.quiet)
        printLine(stderr, QStringLiteral("%1: holds the table of %2%3.")
                              .arg(host.label(), run.file,
                                   run.slaveId ? QStringLiteral(" and slave ID %1").arg(*run.slaveId) : QString()));
    return kExitOk;
}
