#pragma once

#include <QString>

class QFile;

// Load and Save work on ordinary files only. Opening a FIFO waits for a
// writer and reading a device may never end, which would freeze the
// window for good, so anything else is refused before it is touched.

// Opens `path` for reading without ever blocking in open(); fails with the
// operator-facing reason when it is not an ordinary file or cannot be opened.
bool openRegularFileForReading(QFile &file, const QString &path, QString *error);

// Empty when `path` may be saved to: it does not exist yet or is an
// ordinary file (a link is judged by what it points to). Otherwise the reason.
QString saveTargetProblem(const QString &path);
