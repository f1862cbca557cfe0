#pragma once

#include "model/modem_limits.h"

#include <QList>
#include <QString>
#include <QStringList>

// COM port numbers as the operator knows them (kFirstComPort to
// kLastComPort) and the device each one stands for. On Windows port n is "COMn". Elsewhere a link
// (or device) named "comN" in the ports directory stands for port n; the
// other numbers go, in order, to the devices present among ttyS0, ttyS1 ...,
// then ttyUSB0 ..., then ttyACM0 ... (each family up to its first missing
// number), the automatic order Wine uses, so that programs run under Wine
// and this tool give a device the same number.

// <user data dir>/telvarin/ports ($XDG_DATA_HOME or ~/.local/share).
QString defaultPortsDirectory();

// The devices that take the COM numbers 1, 2 ... when no link says otherwise.
QStringList automaticComDevices(const QString &deviceDirectory = QStringLiteral("/dev"));

// The device name for port n; empty when n is not a port number or no
// device takes it.
QString comPortDevice(int portNumber, const QString &portsDirectory,
                      const QString &deviceDirectory = QStringLiteral("/dev"));

// A COM number whose device exists on this machine.
struct PresentComPort {
    int number = 0;
    QString device;       // what the number stands for (a link in the ports directory, or /dev/...)
    QString description;  // what the system says of the device; may be empty
    QString manufacturer; // USB adapters: maker and serial number, may be empty
    QString serialNumber;
};

// The COM numbers whose device is present, in number order.
QList<PresentComPort> presentComPorts(const QString &portsDirectory,
                                      const QString &deviceDirectory = QStringLiteral("/dev"));
