#pragma once

#include <QString>

class QFile;

#ifdef Q_OS_UNIX
#include <sys/types.h>
// "It is a FIFO (named pipe), not an ordinary file. …" for a file of that type.
QString notRegularText(mode_t mode);
#endif

// Load and Save work on ordinary files only. Opening a FIFO waits for a
// writer and reading a device may never end, which would freeze the
// window for good, so anything else is refused before it is touched.

// Opens `path` for reading without ever blocking in open(); fails with the
// operator-facing reason when it is not an ordinary file or cannot be opened.
bool openRegularFileForReading(QFile &file, const QString &path, QString *error);

// Empty when `path` does not exist yet or is an ordinary file (a link is
// judged by what it points to). Otherwise the reason.
QString saveTargetProblem(const QString &path);
