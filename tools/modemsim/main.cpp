// telvarin-modem-simulator: plays the alarm modem on a pseudo-terminal until SIGINT
// or SIGTERM, for the tool to connect to by hand or from a demo script.

#include "configfile/output_file.h"
#include "tools/modemsim/memory_file.h"
#include "tools/modemsim/modem_simulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <unistd.h>

namespace {

void printLine(std::FILE *stream, const QString &text)
{
    std::fputs(qPrintable(text + QLatin1Char('\n')), stream);
    std::fflush(stream);
}

int fail(const QString &why)
{
    printLine(stderr, QCoreApplication::applicationName() + QStringLiteral(": ") + why);
    return 1;
}

// The command line's options.
struct Options {
    QCommandLineOption link{QStringLiteral("link"), QStringLiteral("Symbolic link to the port."), QStringLiteral("path")};
    QCommandLineOption memory{QStringLiteral("memory"),
                              QStringLiteral("Memory, slave ID and enable flags, loaded if the file exists, saved on exit."),
                              QStringLiteral("file")};
    QCommandLineOption delay{QStringLiteral("delay"), QStringLiteral("Processing delay before a reply."),
                             QStringLiteral("ms"), QStringLiteral("10")};
    QCommandLineOption noPace{QStringLiteral("no-pace"), QStringLiteral("Send replies at once, not at 9600 baud.")};
    QCommandLineOption empty{QStringLiteral("empty"), QStringLiteral("Start empty instead of with demo channels.")};
    QCommandLineOption slave{QStringLiteral("slave-id"), QStringLiteral("Slave ID (0 to 255)."), QStringLiteral("n")};
    QCommandLineOption verbose{QStringLiteral("verbose"), QStringLiteral("Log every frame, as hex, on standard error.")};
    QCommandLineOption log{QStringLiteral("log"), QStringLiteral("Log every frame, as hex, into this file (replaced)."),
                           QStringLiteral("file")};
};

// Where the frames are logged: standard error, a file or nowhere (null).
// The file is put in place at once, so that it can be watched.
bool openLog(const QCommandLineParser &parser, const Options &o, std::FILE **log, QString *error)
{
    *log = parser.isSet(o.verbose) ? stderr : nullptr;
    if (!parser.isSet(o.log))
        return true;
    OutputFile file;
    if (!file.open(parser.value(o.log)) || !file.commit()) {
        *error = parser.value(o.log) + QStringLiteral(": ") + file.errorString();
        return false;
    }
    const int handle = file.takeHandle();
    *log = fdopen(handle, "w");
    if (!*log) {
        *error = parser.value(o.log) + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        ::close(handle);
    }
    return *log != nullptr;
}

// The demo channels or an empty modem, then what the memory file kept, then
// the slave ID given on this start (it wins over the one the file kept).
bool startingState(const QCommandLineParser &parser, const Options &o, modemsim::ModemState *state, QString *error)
{
    *state = parser.isSet(o.empty) ? modemsim::ModemState{} : modemsim::demoState();
    const QString memoryFile = parser.value(o.memory);
    // Refused now rather than after a whole session, when it is saved.
    if (const QString refusal = memoryFile.isEmpty() ? QString() : outputRefusal(memoryFile); !refusal.isEmpty()) {
        *error = refusal;
        return false;
    }
    if (!memoryFile.isEmpty() && QFileInfo::exists(memoryFile) && !modemsim::loadMemoryFile(memoryFile, *state, error))
        return false;
    if (!parser.isSet(o.slave))
        return true;
    bool ok = false;
    const uint id = parser.value(o.slave).toUInt(&ok);
    if (!ok || id > 255) {
        *error = QStringLiteral("--slave-id takes 0 to 255");
        return false;
    }
    state->slaveId = quint8(id);
    return true;
}

bool simulatorOptions(const QCommandLineParser &parser, const Options &o, modemsim::SimulatorOptions *options,
                      QString *error)
{
    bool ok = false;
    options->processingDelayMs = parser.value(o.delay).toInt(&ok);
    options->paceAtLineRate = !parser.isSet(o.noPace);
    if (!ok || options->processingDelayMs < 0)
        *error = QStringLiteral("--delay takes a number of milliseconds");
    return ok && options->processingDelayMs >= 0;
}

// Blocked before any thread starts, so that every thread inherits the mask
// and sigwait() is the only one to take them.
sigset_t blockStopSignals()
{
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    return stopSignals;
}

// Serves the modem until SIGINT or SIGTERM; says on standard output where
// the port is and, once it is in place, where its link is.
bool serve(modemsim::ModemSimulator &simulator, const std::optional<QString> &link, const sigset_t &stopSignals,
           QString *error)
{
    if (!simulator.start(error))
        return false;
    printLine(stdout, QStringLiteral("modem simulator on ") + simulator.slavePath());
    if (link) {
        if (!simulator.createLink(*link, error))
            return false;
        printLine(stdout, QStringLiteral("link ") + *link);
    }
    int signal = 0;
    sigwait(&stopSignals, &signal);
    simulator.stop();
    return true;
}

}  // namespace

int main(int argc, char *argv[])
{
    const sigset_t stopSignals = blockStopSignals();
    // The program is named as it was started: telvarin-modem-simulator, in
    // the build tree and installed.
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(TELVARIN_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Plays the SMS alarm modem on a pseudo-terminal."));
    parser.addHelpOption();
    parser.addVersionOption();
    const Options o;
    parser.addOptions({o.link, o.memory, o.delay, o.noPace, o.empty, o.slave, o.verbose, o.log});
    parser.process(app);

    std::FILE *log = nullptr;
    modemsim::ModemState state;
    modemsim::SimulatorOptions options;
    QString error;
    if (!openLog(parser, o, &log, &error) || !startingState(parser, o, &state, &error)
        || !simulatorOptions(parser, o, &options, &error))
        return fail(error);

    modemsim::ModemSimulator simulator(state, options);
    if (log) {
        simulator.setTrafficObserver([log](bool incoming, const QByteArray &bytes) {
            printLine(log, QLatin1String(incoming ? "<- " : "-> ") + QString::fromLatin1(bytes.toHex(' ')));
        });
    }
    const auto link = parser.isSet(o.link) ? std::optional(parser.value(o.link)) : std::nullopt;
    if (!serve(simulator, link, stopSignals, &error))
        return fail(error);
    if (log && log != stderr)
        std::fclose(log);
    const QString memoryFile = parser.value(o.memory);
    if (!memoryFile.isEmpty() && !modemsim::saveMemoryFile(memoryFile, simulator.state(), &error))
        return fail(error);
    return 0;
}
