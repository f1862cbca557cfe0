#pragma once

#include <QSerialPort>
#include <QString>

// The sentence added to a failed open that tells the operator how to get
// access to the device: join the group that owns it, then log in again.
// Empty unless the port refused access and the device's own permissions
// are what keeps this process out (a port locked by another program is
// refused too, but joining a group does not help there).
QString permissionHint(const QString &device, QSerialPort::SerialPortError error);

// A terminal device that leads to no line: /dev/ptmx makes a new
// pseudo-terminal with nobody on its other end at each open, and /dev/tty
// is the terminal the program itself runs in. They take the line settings as
// a serial port does, so only their device numbers tell them apart.
bool isTerminalWithoutLine(const QString &device);
