// telvarin-modemsim: plays the alarm modem on a pseudo-terminal until SIGINT
// or SIGTERM, for the tool to connect to by hand or from a demo script.

#include "tools/modemsim/modem_simulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

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

}  // namespace

int main(int argc, char *argv[])
{
    // Block the stop signals before any thread starts, so that every thread
    // inherits the mask and sigwait() below is the only one to take them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    // The program is named as it was started: telvarin-modemsim in the build
    // tree, telvarin-modem-simulator when installed.
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(TELVARIN_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Plays the SMS alarm modem on a pseudo-terminal."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption linkOption(QStringLiteral("link"), QStringLiteral("Symbolic link to the port."),
                                        QStringLiteral("path"));
    const QCommandLineOption memoryOption(QStringLiteral("memory"),
                                          QStringLiteral("Memory, slave ID and enable flags, loaded if the file exists, saved on exit."),
                                          QStringLiteral("file"));
    const QCommandLineOption delayOption(QStringLiteral("delay"), QStringLiteral("Processing delay before a reply."),
                                         QStringLiteral("ms"), QStringLiteral("10"));
    const QCommandLineOption noPaceOption(QStringLiteral("no-pace"), QStringLiteral("Send replies at once, not at 9600 baud."));
    const QCommandLineOption emptyOption(QStringLiteral("empty"), QStringLiteral("Start empty instead of with demo channels."));
    const QCommandLineOption slaveOption(QStringLiteral("slave-id"), QStringLiteral("Slave ID (0 to 255)."),
                                         QStringLiteral("n"));
    const QCommandLineOption verboseOption(QStringLiteral("verbose"),
                                           QStringLiteral("Log every frame, as hex, on standard error."));
    const QCommandLineOption logOption(QStringLiteral("log"),
                                       QStringLiteral("Log every frame, as hex, into this file (replaced)."),
                                       QStringLiteral("file"));
    parser.addOptions({linkOption, memoryOption, delayOption, noPaceOption, emptyOption, slaveOption, verboseOption,
                       logOption});
    parser.process(app);

    std::FILE *log = parser.isSet(verboseOption) ? stderr : nullptr;
    if (parser.isSet(logOption)) {
        log = std::fopen(QFile::encodeName(parser.value(logOption)).constData(), "w");
        if (!log)
            return fail(parser.value(logOption) + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno)));
    }

    modemsim::ModemState state = parser.isSet(emptyOption) ? modemsim::ModemState{} : modemsim::demoState();
    const QString memoryFile = parser.value(memoryOption);
    QString error;
    if (!memoryFile.isEmpty() && QFileInfo::exists(memoryFile) && !modemsim::loadMemoryFile(memoryFile, state, &error))
        return fail(error);
    // Said on this start, so it wins over the slave ID the memory file kept.
    if (parser.isSet(slaveOption)) {
        bool ok = false;
        const uint id = parser.value(slaveOption).toUInt(&ok);
        if (!ok || id > 255)
            return fail(QStringLiteral("--slave-id takes 0 to 255"));
        state.slaveId = quint8(id);
    }
    modemsim::SimulatorOptions options;
    bool ok = false;
    options.processingDelayMs = parser.value(delayOption).toInt(&ok);
    if (!ok || options.processingDelayMs < 0)
        return fail(QStringLiteral("--delay takes a number of milliseconds"));
    options.paceAtLineRate = !parser.isSet(noPaceOption);

    modemsim::ModemSimulator simulator(state, options);
    if (log) {
        simulator.setTrafficObserver([log](bool incoming, const QByteArray &bytes) {
            printLine(log, QLatin1String(incoming ? "<- " : "-> ") + QString::fromLatin1(bytes.toHex(' ')));
        });
    }
    if (!simulator.start(&error))
        return fail(error);
    printLine(stdout, QStringLiteral("modem simulator on ") + simulator.slavePath());
    if (parser.isSet(linkOption)) {
        if (!simulator.createLink(parser.value(linkOption), &error))
            return fail(error);
        printLine(stdout, QStringLiteral("link ") + parser.value(linkOption));
    }

    int signal = 0;
    sigwait(&stopSignals, &signal);
    simulator.stop();
    if (log && log != stderr)
        std::fclose(log);
    if (!memoryFile.isEmpty() && !modemsim::saveMemoryFile(memoryFile, simulator.state(), &error))
        return fail(error);
    return 0;
}
