#pragma once

#include <QString>

// Qt Serial Port keeps a lock file for each port it opens, such as
// /var/lock/LCK..ttyUSB0, in a folder every user may write to: any user can
// leave one there and keep everybody else from the port, and a program that
// died leaves its own behind.

// The lock file Qt Serial Port takes for `device`, given by its real name
// (/dev/ttyUSB0); empty when no lock folder can be used.
QString portLockFilePath(const QString &device);

// What the operator is told when the lock file at `path` kept the port from
// opening: its owner, the process it names and whether that still runs, and
// what to do. Empty when there is no such file.
QString lockFileObstacle(const QString &path);

// The lock file at `path` names a process that runs: the port is in use.
bool lockFileNamesRunningProcess(const QString &path);

// Removes the lock file at `path` when it names no running process and this
// user may remove it. True when it was removed.
bool removeStaleLockFile(const QString &path);
