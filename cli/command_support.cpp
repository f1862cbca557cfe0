#include "cli/command_support.h"

#include "cli/cli_output.h"
#include "cli/exit_codes.h"
#include "cli/progress_bar.h"
#include "cli/serial_host.h"
#include "cli/stop_signals.h"
#include "configfile/config_file.h"
#include "configfile/config_messages.h"
#include "transfer/device_write.h"

#include <QStringList>

std::optional<ChannelTable> loadWholeFile(const QString &path)
{
    const ConfigReadResult result = loadConfigFile(path);
    if (!result.complete) {
        printError(result.line > 0 ? QStringLiteral("%1: line %2: %3").arg(path).arg(result.line).arg(result.error)
                                   : QStringLiteral("%1: %2").arg(path, result.error));
        return std::nullopt;
    }
    // A text the reading rules cut is a guess: it never goes to a modem.
    if (const QString cut = cutTextsText(result); !cut.isEmpty()) {
        printError(QStringLiteral("%1: %2 Nothing was sent to the modem.").arg(path, cut));
        return std::nullopt;
    }
    ChannelTable table;
    for (int channel = 0; channel < kChannelCount; ++channel)
        table[channel] = result.rows[channel];
    return table;
}

bool reportWriteProblems(const QString &file, const WriteRequest &request)
{
    const QStringList problems = writeProblems(request);
    for (const QString &problem : problems)
        printError(QStringLiteral("%1: %2").arg(file, problem));
    return !problems.isEmpty();
}

bool openPort(SerialHost &host, const QString &port)
{
    QString error;
    if (host.open(port, &error))
        return true;
    printError(error);
    return false;
}

ModemReading readModem(SerialHost &host, bool quiet)
{
    ModemReading reading;
    ProgressBar bar(QStringLiteral("Reading %1").arg(host.label()), !quiet && ProgressBar::stderrIsTerminal());
    host.setProgressBar(&bar);
    reading.outcome = runDeviceRead(host, reading);
    host.setProgressBar(nullptr);
    return reading;
}

int stoppedRun(SerialHost &host, const QString &leftBehind)
{
    const QString lineLoss = host.link().takeLineLoss();
    host.close();
    if (const int signal = stopSignal()) {
        printError(QStringLiteral("%1: interrupted; %2.").arg(host.label(), leftBehind));
        return exitForSignal(signal);
    }
    printError(lineLoss.isEmpty() ? QStringLiteral("%1: the port closed during the run; %2.").arg(host.label(), leftBehind)
                                  : QStringLiteral("%1 %2%3.").arg(lineLoss, leftBehind.left(1).toUpper(), leftBehind.mid(1)));
    return kExitDevice;
}
