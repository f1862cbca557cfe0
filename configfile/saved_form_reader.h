#pragma once

#include "model/channel_row.h"

#include <QByteArray>
#include <optional>

// Reads a whole file in the form the tool saves: a record per channel of "0" or "1",
// then two texts each between double quotes, every line ended by CR LF.
// Texts may hold any byte but NUL, double quotes and line breaks included:
// a quote closes a text only where a line end follows it and the rest of
// the file still reads as the rest of the records. Where several readings
// fit, the earliest closing quote wins, so Save refuses the few texts whose
// reading would differ.
// What editors and version control do to a saved file reads the same: a
// UTF-8 byte-order mark in front, LF line ends throughout (CR LF inside the
// texts comes back), no line end after the last text, and lines after the
// 48th. Lines without a double quote behind the 48th are preferred to
// others, so only lines with quotes there can shorten the last texts.
// The cost is linear in the file size.
// Returns nothing when the bytes are not in that form.
std::optional<ChannelTable> readSavedForm(const QByteArray &bytes);
