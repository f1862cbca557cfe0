#pragma once

#include "model/channel_row.h"

#include <QByteArray>
#include <QString>

// The table as the history keeps it: the bytes Save would write (so a
// record's table restores a unit with `telvarin-cli write`), and their SHA-256.
struct TableDigest {
    QByteArray savedForm;
    QString sha256;           // 64 hex digits
};
TableDigest digestTable(const ChannelTable &rows);

// The first 12 hex digits: enough to tell two tables apart on a sheet.
inline QString shortSha256(const QString &sha256) { return sha256.left(12); }
