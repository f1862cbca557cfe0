// telvarin-cli: reads, writes and verifies the alarm modem from a script,
// with the same transfers as the window. Runs without any display.
#include "cli/cli_output.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/invocation.h"
#include "cli/stop_signals.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    installStopHandlers();
    if (const QString name = undecodableArgument(argc, argv); !name.isEmpty()) {
        printError(QStringLiteral("\"%1\" is not UTF-8 text, so it would be taken for another name; nothing was "
                                  "done. Rename the file, or use a name in UTF-8.").arg(name));
        return kExitUsage;
    }
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("telvarin-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TELVARIN_VERSION));

    const InvocationResult parsed = parseInvocation(QCoreApplication::arguments());
    if (!parsed.invocation) {
        printError(parsed.error + QStringLiteral(" (see telvarin-cli --help)"));
        return kExitUsage;
    }
    const Invocation &run = *parsed.invocation;
    switch (run.command) {
    case Invocation::Help:
        std::fputs(qPrintable(usageText()), stdout);
        return kExitOk;
    case Invocation::Version:
        printLine(stdout, QStringLiteral("telvarin-cli " TELVARIN_VERSION));
        return kExitOk;
    case Invocation::Ports:
        return runPorts(run.json);
    case Invocation::Read:
    case Invocation::Write:
    case Invocation::Verify:
        return runUnitsCommand(run);
    }
    return kExitUsage;
}
