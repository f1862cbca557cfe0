#pragma once

#include <QString>

// What the system says of the adapter behind a device (a link is followed):
// a USB adapter's serial number and description; empty where unknown.
struct AdapterInfo {
    QString serialNumber;
    QString description;
};
AdapterInfo adapterInfo(const QString &device);
