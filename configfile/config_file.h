#pragma once

#include "model/channel_row.h"
#include "configfile/config_reader.h"

#include <QString>

struct FileResult {
    bool ok = false;
    QString error; // the system's reason when !ok
};

// Writes the whole file or nothing: a failed save leaves an existing file
// exactly as it was. Refuses, before writing anything, a table that would
// not load back exactly and a target that output_file.h refuses.
FileResult saveConfigFile(const QString &path, const ChannelTable &rows);

// Reads the file at `path`. A file that cannot be opened or read, or is not
// an ordinary file, gives no rows, an error and line 0.
ConfigReadResult loadConfigFile(const QString &path);
