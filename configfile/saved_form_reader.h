#pragma once

#include "model/channel_row.h"

#include <QByteArray>
#include <optional>

// Reads a whole file in exactly the form the tool saves: 16 records of
// "0" or "1", then two texts each between double quotes, every line ended
// by CR LF, and nothing after the 48th line. Texts may hold any byte but
// NUL, double quotes and line breaks included: a quote closes a text only
// where CR LF follows it and the rest of the file still reads as the rest
// of the records. Where several readings fit, the earliest closing quote
// wins, so Save refuses the few texts whose reading would differ.
// Returns nothing when the bytes are not in that form.
std::optional<ChannelTable> readSavedForm(const QByteArray &bytes);
