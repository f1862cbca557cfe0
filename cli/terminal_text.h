#pragma once

#include <QByteArray>

// A table for a terminal: a text the modem holds (or someone wrote into a
// configuration) may carry escape sequences that retitle or clear the
// terminal. Control characters other than CR, LF and TAB, DEL and bytes
// above 127 are spelt \xNN, as verify spells them; *escaped tells whether
// any was.
inline QByteArray terminalSafe(const QByteArray &bytes, bool *escaped)
{
    QByteArray out;
    out.reserve(bytes.size());
    *escaped = false;
    for (const char c : bytes) {
        const auto byte = quint8(c);
        if ((byte >= 0x20 && byte < 0x7F) || c == '\r' || c == '\n' || c == '\t') {
            out += c;
        } else {
            out += "\\x" + QByteArray::number(byte, 16).rightJustified(2, '0');
            *escaped = true;
        }
    }
    return out;
}
