#include "cli/invocation.h"

#include "cli/manifest.h"

#include "link/com_port.h"
#include "link/device_protocol.h"
#include "model/limit_texts.h"
#include "history/history_target.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>

QString usageText()
{
    return QStringLiteral(
        "Usage:\n"
        "  telvarin-cli read   --port P... [--fast] [--output FILE]\n"
        "  telvarin-cli write  --port P... --slave-id N... [--verify] FILE\n"
        "  telvarin-cli verify --port P... [--fast] [--slave-id N...] FILE\n"
        "  telvarin-cli write|verify|read --batch MANIFEST\n"
        "  telvarin-cli ports\n"
        "  telvarin-cli history [--port P] [--slave-id N] [--since DATE] [--result R]\n"
        "                       [--limit N] [--json | --csv]\n"
        "  telvarin-cli history show ID\n"
        "  telvarin-cli sheet (FILE [--slave-id N] | --history ID) --output SHEET.pdf\n"
        "\n"
        "  read    the modem's table into FILE (standard output when absent or \"-\")\n"
        "  write   FILE's table and slave ID N (%1) into the modem\n"
        "  verify  read the modem back and list where it differs from FILE (and N)\n"
        "  ports   the COM numbers with a device present (not network ports)\n"
        "  history the records of earlier reads, writes and verifies, newest first;\n"
        "          show ID prints that record's table as a configuration file\n"
        "  sheet   one A4 page in PDF for the site: the channels, the slave ID, the\n"
        "          table's short SHA-256 and lines for a name and a signature\n"
        "\n"
        "  P is a COM number (%2), a device path such as /dev/ttyUSB0, or a modem\n"
        "  behind a serial server: tcp://HOST:PORT (raw) or rfc2217://HOST:PORT.\n"
        "  --port more than once: the units run side by side. --slave-id once for\n"
        "  each port, in the same order, or once for all. A read of several ports\n"
        "  needs --output with {port} in it (site-{port}.txt: site-COM3.txt).\n"
        "  --batch MANIFEST  CSV lines \"port,slave id,file\" (a read saves to the file)\n"
        "      --json      one JSON document on standard output\n"
        "      --history STORE  record into (history, sheet: look in) this SQLite file or\n"
        "                  postgresql://user@host/database (else $TELVARIN_HISTORY, else\n"
        "                  $XDG_DATA_HOME/telvarin/history.sqlite)\n"
        "      --no-history  record nothing\n"
        "      --fast      read, verify: go on as soon as a reply is whole, not after\n"
        "                  the full %4 ms of each command (about twice as fast)\n"
        "      --verify    write: then read the modem back and list where it differs,\n"
        "                  as verify does\n"
        "      --jobs N    at most N units at once (default %3); the others wait their turn\n"
        "  -q, --quiet     print nothing but errors\n"
        "  -h, --help      this text\n"
        "  -v, --version   the program's version\n"
        "\n"
        "Exit codes: 0 done (every unit); 1 a modem did not answer, answered in part,\n"
        "or differs; 2 bad usage, or a file or port that cannot be used; 130/143\n"
        "interrupted.\n")
        .arg(slaveIdRange(), comPortRange()).arg(kDefaultJobs).arg(protocol::kReplyWindowMs);
}

std::optional<int> parseSlaveId(const QString &text)
{
    bool ok = false;
    const int id = text.toInt(&ok);
    if (!ok || id < kFirstSlaveId || id > kLastSlaveId)
        return std::nullopt;
    return id;
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

namespace {

struct Options {
    QCommandLineOption port{QStringLiteral("port"), QString(), QStringLiteral("P")};
    QCommandLineOption output{QStringList{QStringLiteral("o"), QStringLiteral("output")}, QString(), QStringLiteral("FILE")};
    QCommandLineOption slave{QStringLiteral("slave-id"), QString(), QStringLiteral("N")};
    QCommandLineOption batch{QStringLiteral("batch"), QString(), QStringLiteral("MANIFEST")};
    QCommandLineOption json{QStringLiteral("json")};
    QCommandLineOption fast{QStringLiteral("fast")};
    QCommandLineOption verify{QStringLiteral("verify")};
    QCommandLineOption jobs{QStringLiteral("jobs"), QString(), QStringLiteral("N")};
    QCommandLineOption quiet{QStringList{QStringLiteral("q"), QStringLiteral("quiet")}};
    QCommandLineOption help{QStringList{QStringLiteral("h"), QStringLiteral("help")}};
    QCommandLineOption version{QStringList{QStringLiteral("v"), QStringLiteral("version")}};
    QCommandLineOption history{QStringLiteral("history"), QString(), QStringLiteral("STORE")};
    QCommandLineOption noHistory{QStringLiteral("no-history")};
};

std::optional<Invocation::Command> commandNamed(const QString &name)
{
    if (name == QLatin1String("read"))
        return Invocation::Read;
    if (name == QLatin1String("write"))
        return Invocation::Write;
    if (name == QLatin1String("verify"))
        return Invocation::Verify;
    if (name == QLatin1String("ports"))
        return Invocation::Ports;
    return std::nullopt;
}

// Options that mean nothing to a command are refused rather than ignored:
// a script that passes them has a mistake in it.
QString misplacedOption(Invocation::Command command, const QString &name, const QCommandLineParser &parser,
                        const Options &o, qsizetype fileArguments)
{
    const bool takesFile = command == Invocation::Write || command == Invocation::Verify;
    const bool batch = parser.isSet(o.batch);
    if (command == Invocation::Ports && parser.isSet(o.port))
        return QStringLiteral("%1 takes no --port").arg(name);
    if (command == Invocation::Ports && batch)
        return QStringLiteral("%1 takes no --batch").arg(name);
    if (command != Invocation::Read && parser.isSet(o.output))
        return QStringLiteral("%1 takes no --output").arg(name);
    if (!takesFile && parser.isSet(o.slave))
        return QStringLiteral("%1 takes no --slave-id").arg(name);
    // The modem never answers a write, so there is no reply to end its wait early.
    if (command == Invocation::Write && parser.isSet(o.fast))
        return QStringLiteral("write takes no --fast: the modem does not answer a write, so each command keeps its "
                              "full %1 ms to store what it was sent").arg(protocol::kReplyWindowMs);
    if (command == Invocation::Ports && parser.isSet(o.fast))
        return QStringLiteral("ports takes no --fast");
    if (command != Invocation::Write && parser.isSet(o.verify))
        return QStringLiteral("%1 takes no --verify").arg(name);
    if (command == Invocation::Ports && parser.isSet(o.jobs))
        return QStringLiteral("ports takes no --jobs");
    if (command == Invocation::Ports && (parser.isSet(o.history) || parser.isSet(o.noHistory)))
        return QStringLiteral("ports records nothing: it takes no --history or --no-history");
    if (parser.isSet(o.history) && parser.isSet(o.noHistory))
        return QStringLiteral("--history and --no-history exclude each other");
    if (fileArguments > (takesFile && !batch ? 1 : 0))
        return QStringLiteral("%1: unexpected argument \"%2\"").arg(name, parser.positionalArguments().last());
    if (batch && (parser.isSet(o.port) || parser.isSet(o.slave) || parser.isSet(o.output)))
        return QStringLiteral("--batch takes the ports, slave IDs and files from the manifest alone");
    return {};
}

// The ports of the command line, each with its slave ID.
QString portsAndSlaveIds(const QString &name, const QCommandLineParser &parser, const Options &o, QList<UnitTarget> &units)
{
    if (!parser.isSet(o.port))
        return QStringLiteral("%1 needs --port P (a COM number or a device path)").arg(name);
    for (const QString &typed : parser.values(o.port)) {
        QString problem;
        const std::optional<UnitPort> port = parseUnitPort(typed, &problem);
        if (!port)
            return QStringLiteral("--port ") + problem;
        units.append({*port, std::nullopt, {}});
    }
    const QStringList ids = parser.values(o.slave);
    if (!ids.isEmpty() && ids.size() != 1 && ids.size() != units.size())
        return QStringLiteral("%1 --slave-id for %2 --port: give one for each port, in the same order, or one for all")
            .arg(ids.size()).arg(units.size());
    for (qsizetype at = 0; at < ids.size(); ++at) {
        const std::optional<int> id = parseSlaveId(ids[at]);
        if (!id)
            return QStringLiteral("--slave-id \"%1\" is not a slave ID %2").arg(ids[at], slaveIdRange());
        for (qsizetype unit = at; unit < units.size(); unit += ids.size())
            units[unit].slaveId = id;
    }
    return {};
}

// Where each read unit saves its table.
QString outputFiles(const QCommandLineParser &parser, const Options &o, QList<UnitTarget> &units)
{
    const QString pattern = parser.isSet(o.output) ? parser.value(o.output) : QStringLiteral("-");
    if (units.size() > 1 && !pattern.contains(QLatin1String(kPortPlaceholder)))
        return QStringLiteral("a read of several ports needs --output with %1 in it, one file for each port")
            .arg(QLatin1String(kPortPlaceholder));
    for (UnitTarget &unit : units)
        unit.file = expandOutputPattern(pattern, unit.port);
    return {};
}

QString unitsFromManifest(const QString &path, Invocation &run)
{
    const ManifestResult manifest = readManifest(path, run.command == Invocation::Write);
    run.units = manifest.units;
    return manifest.error;
}

QString unitsFromArguments(const QString &name, const QCommandLineParser &parser, const Options &o, Invocation &run)
{
    if (const QString error = portsAndSlaveIds(name, parser, o, run.units); !error.isEmpty())
        return error;
    if (run.command == Invocation::Read)
        return outputFiles(parser, o, run.units);
    if (parser.positionalArguments().size() < 2)
        return QStringLiteral("%1 needs the configuration FILE").arg(name);
    if (run.command == Invocation::Write && !parser.isSet(o.slave))
        return QStringLiteral("write needs --slave-id N (%1)").arg(slaveIdRange());
    for (UnitTarget &unit : run.units)
        unit.file = parser.positionalArguments().at(1);
    return {};
}

// The invocation's units and settings; an error text when they are not usable.
QString readInvocation(const QCommandLineParser &parser, const Options &o, Invocation &run)
{
    const QString name = parser.positionalArguments().first();
    if (const QString error = misplacedOption(run.command, name, parser, o, parser.positionalArguments().size() - 1);
        !error.isEmpty())
        return error;
    if (run.command == Invocation::Ports)
        return {};
    if (parser.isSet(o.jobs)) {
        bool ok = false;
        run.jobs = parser.value(o.jobs).toInt(&ok);
        if (!ok || run.jobs < 1)
            return QStringLiteral("--jobs \"%1\" is not a number of units, 1 or more").arg(parser.value(o.jobs));
    }
    const QString error = parser.isSet(o.batch) ? unitsFromManifest(parser.value(o.batch), run)
                                                : unitsFromArguments(name, parser, o, run);
    if (!error.isEmpty())
        return error;
    return unitListProblem(run.units, run.command == Invocation::Read);
}

}  // namespace

InvocationResult parseInvocation(const QStringList &arguments)
{
    QCommandLineParser parser;
    const Options o;
    parser.addOptions({o.port, o.output, o.slave, o.batch, o.json, o.fast, o.verify, o.jobs, o.quiet, o.help, o.version, o.history, o.noHistory});
    const bool parsed = parser.parse(arguments);
    InvocationResult result{std::nullopt, {}, parser.isSet(o.json) || arguments.contains(QLatin1String("--json")), {}};
    const QStringList positional = parser.positionalArguments();
    const std::optional<Invocation::Command> command = positional.isEmpty() ? std::nullopt : commandNamed(positional.first());
    if (command)
        result.commandName = positional.first();
    if (!parsed) {
        result.error = parser.errorText();
        return result;
    }
    Invocation run;
    run.quiet = parser.isSet(o.quiet);
    run.json = parser.isSet(o.json);
    run.fast = parser.isSet(o.fast);
    run.verify = parser.isSet(o.verify);
    run.history = parser.value(o.history);
    run.noHistory = parser.isSet(o.noHistory);
    if (!run.history.isEmpty()) {
        QString error;
        parseHistoryTarget(run.history, &error);
        if (!error.isEmpty()) {
            result.error = QStringLiteral("--history: %1").arg(error);
            return result;
        }
    }
    if (parser.isSet(o.help)) {
        result.invocation = run;
        return result;
    }
    if (parser.isSet(o.version)) {
        run.command = Invocation::Version;
        result.invocation = run;
        return result;
    }
    if (positional.isEmpty()) {
        result.error = QStringLiteral("no command given: read, write, verify, ports, history or sheet");
        return result;
    }
    if (!command) {
        result.error = QStringLiteral("unknown command \"%1\": read, write, verify, ports, history or sheet").arg(positional.first());
        return result;
    }
    run.command = *command;
    result.error = readInvocation(parser, o, run);
    if (result.error.isEmpty())
        result.invocation = run;
    return result;
}
