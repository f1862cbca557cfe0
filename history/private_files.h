#pragma once

#include <QString>

// The history holds people's phone numbers: the folders it creates and the
// database file are readable by their owner only. Folders and a file that
// exist already keep their modes. Returns false with *error set when a
// folder or the file cannot be made.
bool createPrivateFile(const QString &path, QString *error);
