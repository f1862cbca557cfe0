#include "cli/cli_output.h"
#include "cli/ports_command.h"
#include "cli/exit_codes.h"
#include "cli/json_report.h"
#include "link/com_port.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

// A serial port is a character device; a link to a folder, an ordinary file
// or a FIFO only looks like one by its name.
bool isCharacterDevice(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISCHR(info.st_mode);
#else
    Q_UNUSED(path);
    return true;  // COMn names no file to look at
#endif
}

}  // namespace

int runPorts(bool json)
{
    QList<PresentComPort> ports = presentComPorts(defaultPortsDirectory());
    ports.removeIf([](const PresentComPort &port) { return !isCharacterDevice(port.device); });
    // A list that did not reach standard output whole is a failure; main()
    // says why.
    if (json)
        return writeStandardOutput(portsReport(ports)) ? kExitOk : kExitUsage;
    bool whole = true;
    for (const PresentComPort &port : ports) {
        QString line = QStringLiteral("COM %1\t%2").arg(port.number).arg(port.device);
        if (!port.description.isEmpty())
            line += QLatin1Char('\t') + port.description;
        whole = writeStandardOutputLine(line) && whole;
    }
    return whole ? kExitOk : kExitUsage;
}
