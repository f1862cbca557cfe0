#pragma once

#include "model/channel_row.h"

#include <QByteArray>
#include <QList>
#include <QString>

class QIODevice;

// The configuration file: 16 records of three lines, one record per channel
// in table order:
//   1 or 0              the enable flag
//   "<phone number>"    the text between double quotes
//   "<message>"         the text between double quotes
// Every line ends in CR LF. There is no header and no escaping, so a text
// holding a double quote cannot be read back whole.

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
};

// Reads records from `in` until 16 are complete or a problem stops it.
// Fields end at a comma or a line end (CR LF or a lone LF), which is
// consumed with the field. A text field may start with a double quote
// (blanks in front of it are dropped) and then runs to the next one, commas
// and line breaks included; anything after the closing quote up to the
// field's end is dropped. Unquoted texts lose their surrounding blanks. The
// enable flag must be the decimal integer 0 or 1. Reading stops right after
// the 16th record's line end.
ConfigReadResult readConfig(QIODevice &in);
