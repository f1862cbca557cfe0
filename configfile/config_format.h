#pragma once

#include "model/channel_row.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

class QIODevice;

// The configuration file: 16 records of three lines, one record per channel
// in table order:
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

struct ConfigReadResult {
    QList<ChannelRow> rows; // complete records, in channel order
    bool complete = false;  // all 16 records were read
    QString error;          // why reading stopped, in plain words; empty if complete
    int line = 0;           // 1-based line where reading stopped; 0 if complete or never started
    // Channels (1 to 16) whose phone number or message the reading rules
    // cut: bytes other than blanks after its closing quote were dropped.
    QList<int> cutChannels;
};

// A channel whose texts the file cannot give back exactly, and why.
struct UnsavableChannel {
    int channel = 0;  // 1 to 16
    QString reason;   // a sentence for the operator
};

// The first channel that would not load back as it is, if any: a character
// beyond Latin-1, a NUL, a text too long for the reader, or a double quote
// right before a line break where the reader would take it for the end.
std::optional<UnsavableChannel> findUnsavableChannel(const ChannelTable &rows);

// Reads `in` to its end (at most what 16 records can take) and returns the
// records. A file in exactly the form formatConfig writes gives back the
// saved rows byte for byte: a quote closes a text only where CR LF follows
// and the rest of the file still reads as the remaining records.
// Any other file (a hand-made one, lines after the 48th) is read leniently,
// as follows, until 16 records are complete or a problem stops it.
// Fields end at a comma or a line end (CR LF or a lone LF), which is
// consumed with the field. A text field may start with a double quote
// (blanks in front of it are dropped) and then runs to the next one, commas
// and line breaks included; anything after the closing quote up to the
// field's end is dropped (and the channel counted in cutChannels). Unquoted texts lose their surrounding blanks. The
// enable flag must be the decimal integer 0 or 1. Reading stops right after
// the 16th record's line end.
ConfigReadResult readConfig(QIODevice &in);
