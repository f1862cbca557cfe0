#include "link/com_port.h"

#include <QDir>
#include <QSerialPortInfo>
#include <QFileInfo>
#include <QStandardPaths>

QString defaultPortsDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/telvarin/ports";
}

QString comPortDevice(int portNumber, const QString &portsDirectory)
{
    if (portNumber < kFirstComPort || portNumber > kLastComPort)
        return {};
#ifdef Q_OS_WIN
    Q_UNUSED(portsDirectory);
    return QStringLiteral("COM%1").arg(portNumber);
#else
    const QString mapped = QDir(portsDirectory).filePath(QStringLiteral("com%1").arg(portNumber));
    // A dangling link still names the port the operator meant: opening it
    // then reports the missing device instead of silently using ttyS.
    const QFileInfo info(mapped);
    if (info.exists() || info.isSymLink())
        return mapped;
    return QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
#endif
}

QList<PresentComPort> presentComPorts(const QString &portsDirectory)
{
    QList<PresentComPort> ports;
    for (int n = kFirstComPort; n <= kLastComPort; ++n) {
        const QString device = comPortDevice(n, portsDirectory);
        if (!QFileInfo::exists(device))
            continue;
        ports.append({n, device, QSerialPortInfo(device).description()});
    }
    return ports;
}
