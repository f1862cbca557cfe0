#pragma once

#include "model/channel_row.h"

#include <QList>
#include <QString>

class QIODevice;

struct ConfigReadResult {
    QList<ChannelRow> rows; // complete records, in channel order
    bool complete = false;  // a record was read for every channel
    QString error;          // why reading stopped, in plain words; empty if complete
    int line = 0;           // 1-based line where reading stopped; 0 if complete or never started
    // Channels (1-based) whose phone number or message the reading rules
    // cut: bytes other than blanks after its closing quote were dropped.
    QList<int> cutChannels;
};

// Reads `in` to its end (at most what the records can take) and returns the
// records. A file in exactly the form formatConfig writes gives back the
// saved rows byte for byte: a quote closes a text only where CR LF follows
// and the rest of the file still reads as the remaining records.
// Any other file (a hand-made one, lines after the last record's) is read
// leniently, as follows, until every record is complete or a problem stops it.
// Fields end at a comma or a line end (CR LF or a lone LF), which is
// consumed with the field. A text field may start with a double quote
// (blanks in front of it are dropped) and then runs to the next one, commas
// and line breaks included; anything after the closing quote up to the
// field's end is dropped (and the channel counted in cutChannels). Unquoted texts lose their surrounding blanks. The
// enable flag must be the decimal integer 0 or 1. Reading stops right after
// the last record's line end.
ConfigReadResult readConfig(QIODevice &in);
