#include "cli/invocation.h"

#include "link/com_port.h"
#include "transfer/device_read.h"

#include <QCommandLineParser>
#include <QFile>
#include <QRegularExpression>

QString usageText()
{
    return QStringLiteral(
        "Usage:\n"
        "  telvarin-cli read   --port P [--fast] [--output FILE]\n"
        "  telvarin-cli write  --port P --slave-id N FILE\n"
        "  telvarin-cli verify --port P [--fast] [--slave-id N] FILE\n"
        "  telvarin-cli ports\n"
        "\n"
        "  read    the modem's table into FILE (standard output when absent or \"-\")\n"
        "  write   FILE's table and slave ID N (1 to 32) into the modem\n"
        "  verify  read the modem back and list where it differs from FILE (and N)\n"
        "  ports   the COM numbers with a device present\n"
        "\n"
        "  P is a COM number (1 to 255) or a device path such as /dev/ttyUSB0.\n"
        "      --fast      read, verify: go on as soon as a reply is whole, not after\n"
        "                  the full 200 ms of each command (about twice as fast)\n"
        "  -q, --quiet     print nothing but errors\n"
        "  -h, --help      this text\n"
        "      --version   the program's version\n"
        "\n"
        "Exit codes: 0 done; 1 the modem did not answer, answered in part, or differs;\n"
        "2 bad usage, or a file or port that cannot be used; 130/143 interrupted.\n");
}

std::optional<int> parsePortNumber(const QString &port)
{
    if (port.contains(QLatin1Char('/')))
        return 0;
    static const QRegularExpression comNumber(QStringLiteral("^(?:COM ?)?([0-9]{1,3})$"),
                                              QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = comNumber.match(port);
    if (!match.hasMatch())
        return std::nullopt;
    const int number = match.captured(1).toInt();
    if (number < kFirstComPort || number > kLastComPort)
        return std::nullopt;
    return number;
}

namespace {

bool readsAsGiven(const QByteArray &bytes) { return QFile::encodeName(QFile::decodeName(bytes)) == bytes; }

// The readable parts as text, each stray byte as \xHH.
QString shownBytes(const QByteArray &bytes)
{
    QString shown;
    for (qsizetype at = 0; at < bytes.size();) {
        qsizetype length = 4;  // the longest UTF-8 sequence
        while (length > 0 && !readsAsGiven(bytes.mid(at, length)))
            --length;
        if (length == 0) {
            shown += QStringLiteral("\\x") + QString::fromLatin1(bytes.mid(at, 1).toHex().toUpper());
            ++at;
        } else {
            shown += QFile::decodeName(bytes.mid(at, length));
            at += length;
        }
    }
    return shown;
}

InvocationResult usageError(const QString &why) { return {std::nullopt, why}; }

}  // namespace

QString undecodableArgument(int argc, const char *const argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (!readsAsGiven(argument))
            return shownBytes(argument);
    }
    return {};
}

InvocationResult parseInvocation(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption portOption(QStringLiteral("port"), QString(), QStringLiteral("P"));
    const QCommandLineOption outputOption(QStringList{QStringLiteral("o"), QStringLiteral("output")}, QString(),
                                          QStringLiteral("FILE"));
    const QCommandLineOption slaveOption(QStringLiteral("slave-id"), QString(), QStringLiteral("N"));
    const QCommandLineOption quietOption(QStringList{QStringLiteral("q"), QStringLiteral("quiet")});
    const QCommandLineOption fastOption(QStringLiteral("fast"));
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption versionOption(QStringLiteral("version"));
    parser.addOptions({portOption, outputOption, slaveOption, quietOption, fastOption, helpOption, versionOption});
    if (!parser.parse(arguments))
        return usageError(parser.errorText());

    Invocation run;
    run.quiet = parser.isSet(quietOption);
    if (parser.isSet(helpOption))
        return {run, {}};
    if (parser.isSet(versionOption)) {
        run.command = Invocation::Version;
        return {run, {}};
    }

    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return usageError(QStringLiteral("no command given: read, write, verify or ports"));
    const QString command = positional.takeFirst();
    if (command == QLatin1String("read"))
        run.command = Invocation::Read;
    else if (command == QLatin1String("write"))
        run.command = Invocation::Write;
    else if (command == QLatin1String("verify"))
        run.command = Invocation::Verify;
    else if (command == QLatin1String("ports"))
        run.command = Invocation::Ports;
    else
        return usageError(QStringLiteral("unknown command \"%1\": read, write, verify or ports").arg(command));

    // Options that mean nothing to a command are refused rather than ignored:
    // a script that passes them has a mistake in it.
    const bool takesPort = run.command != Invocation::Ports;
    const bool takesFile = run.command == Invocation::Write || run.command == Invocation::Verify;
    const bool takesSlave = takesFile;
    if (!takesPort && parser.isSet(portOption))
        return usageError(QStringLiteral("%1 takes no --port").arg(command));
    if (run.command != Invocation::Read && parser.isSet(outputOption))
        return usageError(QStringLiteral("%1 takes no --output").arg(command));
    if (!takesSlave && parser.isSet(slaveOption))
        return usageError(QStringLiteral("%1 takes no --slave-id").arg(command));
    // The modem never answers a write, so there is no reply to end its wait early.
    if (run.command == Invocation::Write && parser.isSet(fastOption))
        return usageError(QStringLiteral("write takes no --fast: the modem does not answer a write, so each "
                                         "command keeps its full 200 ms to store what it was sent"));
    if (run.command == Invocation::Ports && parser.isSet(fastOption))
        return usageError(QStringLiteral("ports takes no --fast"));
    run.fast = parser.isSet(fastOption);
    if (positional.size() > (takesFile ? 1 : 0))
        return usageError(QStringLiteral("%1: unexpected argument \"%2\"").arg(command, positional.last()));

    if (takesPort) {
        if (!parser.isSet(portOption))
            return usageError(QStringLiteral("%1 needs --port P (a COM number or a device path)").arg(command));
        run.port = parser.value(portOption);
        if (!parsePortNumber(run.port))
            return usageError(QStringLiteral("--port \"%1\" is neither a COM number 1 to %2 nor a device path")
                                  .arg(run.port).arg(kLastComPort));
    }
    if (takesFile) {
        if (positional.isEmpty())
            return usageError(QStringLiteral("%1 needs the configuration FILE").arg(command));
        run.file = positional.first();
    }
    if (run.command == Invocation::Read)
        run.file = parser.isSet(outputOption) ? parser.value(outputOption) : QStringLiteral("-");
    if (run.command == Invocation::Write && !parser.isSet(slaveOption))
        return usageError(QStringLiteral("write needs --slave-id N (1 to 32)"));
    if (parser.isSet(slaveOption)) {
        bool ok = false;
        const int id = parser.value(slaveOption).toInt(&ok);
        if (!ok || id < kFirstSlaveId || id > kLastSlaveId)
            return usageError(QStringLiteral("--slave-id \"%1\" is not a slave ID 1 to 32").arg(parser.value(slaveOption)));
        run.slaveId = id;
    }
    return {run, {}};
}
