#include "history/adapter_info.h"

#include <QFileInfo>
#include <QSerialPortInfo>

AdapterInfo adapterInfo(const QString &device)
{
    if (device.isEmpty())
        return {};
    const QString target = QFileInfo(device).canonicalFilePath();
    for (const QSerialPortInfo &port : QSerialPortInfo::availablePorts()) {
        if (QFileInfo(port.systemLocation()).canonicalFilePath() == target)
            return {port.serialNumber(), port.description()};
    }
    return {};
}
