#pragma once

#include <QList>
#include <QString>

// COM port numbers as the operator knows them (COM 1 to COM 255) and the
// device each one stands for. On Windows port n is "COMn". Elsewhere port n
// is the link or device named "comN" in the ports directory, the way Wine
// maps COM ports; without one it is /dev/ttyS(n-1).
inline constexpr int kFirstComPort = 1;
inline constexpr int kLastComPort = 255;

// <user data dir>/telvarin/ports ($XDG_DATA_HOME or ~/.local/share).
QString defaultPortsDirectory();

// The device name for port n; empty when n is not a port number.
QString comPortDevice(int portNumber, const QString &portsDirectory);

// A COM number whose device exists on this machine.
struct PresentComPort {
    int number = 0;
    QString device;      // what the number stands for (a link in the ports directory, or /dev/...)
    QString description; // what the system says of the device; may be empty
};

// The COM numbers 1 to 255 whose device is present, in number order.
QList<PresentComPort> presentComPorts(const QString &portsDirectory);
