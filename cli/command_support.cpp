#include "cli/command_support.h"

#include "cli/exit_codes.h"
#include "cli/serial_host.h"
#include "cli/stop_signals.h"
#include "cli/unit_result.h"
#include "configfile/config_file.h"
#include "configfile/output_file.h"
#include "configfile/config_messages.h"
#include "transfer/device_write.h"

#include <QFileInfo>
#include <QStringList>

std::optional<ChannelTable> loadWholeFile(const QString &path, QString *error)
{
    const ConfigReadResult result = loadConfigFile(path);
    if (!result.complete) {
        *error = result.line > 0 ? QStringLiteral("%1: line %2: %3").arg(path).arg(result.line).arg(result.error)
                                 : QStringLiteral("%1: %2").arg(path, result.error);
        return std::nullopt;
    }
    // A text the reading rules cut is a guess: it never goes to a modem.
    if (const QString cut = cutTextsText(result); !cut.isEmpty()) {
        *error = QStringLiteral("%1: %2 Nothing was sent to the modem.").arg(path, cut);
        return std::nullopt;
    }
    ChannelTable table;
    for (int channel = 0; channel < kChannelCount; ++channel)
        table[channel] = result.rows[channel];
    return table;
}

QStringList writeProblemLines(const QString &file, const WriteRequest &request)
{
    QStringList lines;
    for (const QString &problem : writeProblems(request))
        lines.append(QStringLiteral("%1: %2").arg(file, problem));
    return lines;
}

QString outputProblem(const QString &file)
{
    if (const QString problem = outputRefusal(file); !problem.isEmpty())
        return problem;
    const QFileInfo folder(QFileInfo(file).absolutePath());
    if (!folder.isDir())
        return QStringLiteral("The folder %1 does not exist.").arg(folder.filePath());
    if (!folder.isWritable())
        return QStringLiteral("The folder %1 cannot be written to.").arg(folder.filePath());
    return {};
}

ModemReading readModem(SerialHost &host)
{
    ModemReading reading;
    reading.outcome = runDeviceRead(host, reading);
    return reading;
}

void stoppedRun(SerialHost &host, const QString &leftBehind, UnitResult &result)
{
    const QString lineLoss = host.link().takeLineLoss();
    host.close();
    if (const int signal = stopSignal()) {
        result.errors.append(QStringLiteral("%1: interrupted; %2.").arg(host.label(), leftBehind));
        result.result = UnitResult::Interrupted;
        result.exitCode = exitForSignal(signal);
        return;
    }
    result.errors.append(lineLoss.isEmpty()
                             ? QStringLiteral("%1: the port closed during the run; %2.").arg(host.label(), leftBehind)
                             : QStringLiteral("%1 %2%3.").arg(lineLoss, leftBehind.left(1).toUpper(), leftBehind.mid(1)));
    result.result = UnitResult::Failed;
    result.exitCode = kExitDevice;
}
