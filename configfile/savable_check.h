#pragma once

#include "model/channel_row.h"

#include <QByteArray>
#include <QString>

#include <optional>

// A channel whose texts the file cannot give back exactly, and why.
struct UnsavableChannel {
    int channel = 0;  // 1-based
    QString reason;   // a sentence for the operator
};

// The first channel that would not load back as it is, if any: a character
// beyond Latin-1, a NUL, a text too long for the reader, or a double quote
// right before a line break where the reader would take it for the end, as
// saved or once every line end became LF.
std::optional<UnsavableChannel> findUnsavableChannel(const ChannelTable &rows);

// What Save puts into the file for `rows`, or why it refuses: no file goes
// out that would not load back exactly.
struct SavableFile {
    QByteArray bytes;
    QString refusal;  // "Channel 3 cannot be kept exactly in the file. …"; empty when the bytes load back
};
SavableFile savableFile(const ChannelTable &rows);
