#pragma once

#include <QSerialPort>
#include <QString>

// What keeps this process out of a device, as far as its permissions tell.
struct DeviceAccess {
    QString device;     // the real path, as the advice names it
    unsigned mode = 0;  // permission bits
    QString owner;      // user name (or number)
    QString group;      // group name (or number)
    bool isOwner = false;
    bool inGroup = false;      // the group counts for this session
    bool rootGroup = false;    // group 0: never one to advise joining
};

// The advice for a device whose permissions keep this process out, empty
// when they let it in. Joining the group is advised only where the group
// may read and write the device; otherwise the advice says who may.
QString accessAdvice(const DeviceAccess &access);

// `message` (a failed open's text) with the advice for `device` added as
// a sentence of its own. Unchanged unless the port refused access and the
// device's own permissions are what keeps this process out (a port locked
// by another program is refused too, but no group helps there).
QString withPermissionHint(const QString &message, const QString &device, QSerialPort::SerialPortError error);

// A terminal device that leads to no line: /dev/ptmx makes a new
// pseudo-terminal with nobody on its other end at each open, and /dev/tty
// is the terminal the program itself runs in. They take the line settings as
// a serial port does, so only their device numbers tell them apart.
bool isTerminalWithoutLine(const QString &device);
