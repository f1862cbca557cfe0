// telvarin-cli: reads, writes and verifies the alarm modem from a script,
// with the same transfers as the window. Runs without any display.
#include "cli/cli_output.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/invocation.h"
#include "cli/stop_signals.h"

#include <QGuiApplication>

#include <cstring>
#include <memory>

int main(int argc, char *argv[])
{
    installStopHandlers();
    if (const QString name = undecodableArgument(argc, argv); !name.isEmpty()) {
        printError(QStringLiteral("\"%1\" is not UTF-8 text, so it would be taken for another name; nothing was "
                                  "done. Rename the file, or use a name in UTF-8.").arg(name));
        return kExitUsage;
    }
    // The sheet draws text, which takes a GUI application; it never shows a
    // window, so it needs no display either.
    const bool sheet = argc > 1 && std::strcmp(argv[1], "sheet") == 0;
    if (sheet)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::unique_ptr<QCoreApplication> app = sheet ? std::make_unique<QGuiApplication>(argc, argv)
                                                        : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("telvarin-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TELVARIN_VERSION));

    // The commands that ask the history come first on the line and parse their own options.
    const QStringList arguments = QCoreApplication::arguments();
    if (sheet)
        return runSheet(arguments);
    if (arguments.value(1) == QLatin1String("history"))
        return runHistory(arguments);
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
