#include "link/com_port.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QStandardPaths>

namespace {

// The link comN in the ports directory, dangling or not: a dangling link
// still names the port the operator meant, so opening it reports the
// missing device instead of silently using another one.
QString mappedDevice(int portNumber, const QString &portsDirectory)
{
    const QString mapped = QDir(portsDirectory).filePath(QStringLiteral("com%1").arg(portNumber));
    const QFileInfo info(mapped);
    return info.exists() || info.isSymLink() ? mapped : QString();
}

QString deviceFor(int portNumber, const QString &portsDirectory, const QStringList &automatic)
{
    if (portNumber < kFirstComPort || portNumber > kLastComPort)
        return {};
#ifdef Q_OS_WIN
    Q_UNUSED(portsDirectory);
    Q_UNUSED(automatic);
    return QStringLiteral("COM%1").arg(portNumber);
#else
    const QString mapped = mappedDevice(portNumber, portsDirectory);
    if (!mapped.isEmpty())
        return mapped;
    return automatic.value(portNumber - 1);
#endif
}

}  // namespace

QString defaultPortsDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/telvarin/ports";
}

QStringList automaticComDevices(const QString &deviceDirectory)
{
    QStringList devices;
#ifndef Q_OS_WIN
    const QDir dir(deviceDirectory);
    for (const char *family : {"ttyS", "ttyUSB", "ttyACM"}) {
        for (int i = 0; devices.size() < kLastComPort; ++i) {
            const QString device = dir.filePath(QLatin1String(family) + QString::number(i));
            if (!QFileInfo::exists(device))
                break;
            devices.append(device);
        }
    }
#else
    Q_UNUSED(deviceDirectory);
#endif
    return devices;
}

QString comPortDevice(int portNumber, const QString &portsDirectory, const QString &deviceDirectory)
{
    if (portNumber < kFirstComPort || portNumber > kLastComPort)
        return {};
    return deviceFor(portNumber, portsDirectory, automaticComDevices(deviceDirectory));
}

QList<PresentComPort> presentComPorts(const QString &portsDirectory, const QString &deviceDirectory)
{
    const QStringList automatic = automaticComDevices(deviceDirectory);
    const QList<QSerialPortInfo> known = QSerialPortInfo::availablePorts();
    QList<PresentComPort> ports;
    for (int n = kFirstComPort; n <= kLastComPort; ++n) {
        const QString device = deviceFor(n, portsDirectory, automatic);
        if (device.isEmpty() || !QFileInfo::exists(device))
            continue;
        PresentComPort port{n, device, {}, {}, {}};
        // Links are followed, so a comN link to an adapter is described as the adapter.
        const QString target = QFileInfo(device).canonicalFilePath();
        for (const QSerialPortInfo &info : known) {
            if (QFileInfo(info.systemLocation()).canonicalFilePath() == target) {
                port.description = info.description();
                port.manufacturer = info.manufacturer();
                port.serialNumber = info.serialNumber();
                break;
            }
        }
        ports.append(port);
    }
    return ports;
}
