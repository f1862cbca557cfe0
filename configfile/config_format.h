#pragma once

#include "model/channel_row.h"

#include <QByteArray>

// The configuration file: one record of three lines per channel, in table
// order:
//   1 or 0              the enable flag
//   "<phone number>"    the text between double quotes
//   "<message>"         the text between double quotes
// Every line ends in CR LF. There is no header and no escaping: a text
// between the quotes may hold quotes and line breaks of its own, and the
// reader tells its closing quote by what follows it (see readConfig).

// The whole file for `rows`, byte for byte.
QByteArray formatConfig(const ChannelTable &rows);

// A field (quotes and blanks included) longer than this fails the load: a
// lost closing quote or a file without line ends must not be swallowed whole.
inline constexpr int kMaxConfigFieldBytes = 4096;
