#include "configfile/config_format.h"

#include "model/line_text.h"

QByteArray formatConfig(const ChannelTable &rows)
{
    // The file stores one byte per character in Latin-1, exactly like the
    // serial line (toLineBytes): a character Latin-1 lacks is saved as '?'.
    // Texts go between the quotes as they stand; the format has no escape.
    static constexpr char kLineEnd[] = "\r\n";
    QByteArray out;
    for (const ChannelRow &row : rows) {
        out += row.enabled ? '1' : '0';
        out += kLineEnd;
        out += '"' + toLineBytes(row.phoneNo) + '"' + kLineEnd;
        out += '"' + toLineBytes(row.message) + '"' + kLineEnd;
    }
    return out;
}
