#include "history/adapter_info.h"

#include <QFileInfo>
#include <QSerialPortInfo>

AdapterInfo adapterInfo(const QString &device)
{
    if (device.isEmpty())
        return {};
    // Only USB adapters carry a serial number; the system's list of ports
    // takes milliseconds to build, so it is asked only for them.
    const QString target = QFileInfo(device).canonicalFilePath();
    if (!target.startsWith(QLatin1String("/dev/ttyUSB")) && !target.startsWith(QLatin1String("/dev/ttyACM")))
        return {};
    for (const QSerialPortInfo &port : QSerialPortInfo::availablePorts()) {
        if (QFileInfo(port.systemLocation()).canonicalFilePath() == target)
            return {port.serialNumber(), port.description()};
    }
    return {};
}
