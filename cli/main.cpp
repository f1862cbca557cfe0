// telvarin-cli: reads, writes and verifies the alarm modem from a script,
// with the same transfers as the window. Runs without any display.
#include "cli/cli_output.h"
#include "cli/exit_codes.h"
#include "cli/invocation.h"
#include "cli/history_command.h"
#include "cli/json_report.h"
#include "cli/ports_command.h"
#include "cli/run_units.h"
#include "cli/sheet_command.h"
#include "cli/stop_signals.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

// The arguments that are plain ASCII (the others cannot be options or commands).
QStringList asciiArguments(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (std::all_of(argument.cbegin(), argument.cend(), [](char c) { return quint8(c) < 0x80; }))
            arguments.append(QString::fromLatin1(argument));
    }
    return arguments;
}

QString commandOf(const QStringList &arguments)
{
    for (const QString &argument : arguments) {
        if (QStringList{QStringLiteral("read"), QStringLiteral("write"), QStringLiteral("verify"), QStringLiteral("ports")}.contains(argument))
            return argument;
    }
    return {};
}

int runCommand(const Invocation &run)
{
    switch (run.command) {
    case Invocation::Help:
        writeStandardOutput(usageText().toUtf8());
        return kExitOk;
    case Invocation::Version:
        writeStandardOutputLine(QStringLiteral("telvarin-cli " TELVARIN_VERSION));
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

}  // namespace

int main(int argc, char *argv[])
{
    installStopHandlers();
    if (const QString name = undecodableArgument(argc, argv); !name.isEmpty()) {
        const QString error = QStringLiteral("\"%1\" is not UTF-8 text, so it would be taken for another name; "
                                             "nothing was done. Rename the file, or use a name in UTF-8.").arg(name);
        printError(error);
        const QStringList arguments = asciiArguments(argc, argv);
        if (arguments.contains(QLatin1String("--json")))
            writeStandardOutput(refusalReport(commandOf(arguments), {error}));
        if (const QString failure = standardOutputFailure(); !failure.isEmpty())
            printError(failure);
        return kExitUsage;
    }
    // The sheet draws text, which takes a GUI application; it never shows a
    // window, so it needs no display either.
    const bool sheet = argc > 1 && std::strcmp(argv[1], "sheet") == 0;
    const std::unique_ptr<QCoreApplication> app = sheet ? sheetApplication(argc, argv)
                                                        : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("telvarin-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TELVARIN_VERSION));

    // The commands that ask the history come first on the line and parse their own options.
    const QStringList arguments = QCoreApplication::arguments();
    int code = kExitUsage;
    if (sheet) {
        code = runSheet(arguments);
    } else if (arguments.value(1) == QLatin1String("history")) {
        code = runHistory(arguments);
    } else if (const InvocationResult parsed = parseInvocation(arguments); !parsed.invocation) {
        printError(parsed.error + QStringLiteral(" (see telvarin-cli --help)"));
        // A script that asked for a report gets one, even of a refusal.
        if (parsed.json)
            writeStandardOutput(refusalReport(parsed.commandName, {parsed.error}));
    } else {
        code = runCommand(*parsed.invocation);
    }
    if (const QString failure = standardOutputFailure(); !failure.isEmpty()) {
        printError(failure);
        return std::max(code, kExitUsage);
    }
    return code;
}
