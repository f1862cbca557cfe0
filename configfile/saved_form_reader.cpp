#include "configfile/saved_form_reader.h"

#include "configfile/config_format.h"
#include "model/line_text.h"

#include <algorithm>
#include <vector>

namespace {

constexpr int kFieldCount = kChannelCount * 3;  // a flag and two texts each
constexpr qsizetype kMaxTextBytes = kMaxConfigFieldBytes - 2;  // between the quotes, as the lenient reader allows
// Every text closes within this many bytes from the top (all fields at their
// longest, CR LF): quotes further down cannot close one.
constexpr qsizetype kReach = kChannelCount * (3 + 2 * (kMaxConfigFieldBytes + 2));

bool isFlag(int field) { return field % 3 == 0; }

// Front to back, each text ends at the earliest quote that can close it:
// one before a line end behind which the remaining fields still read. That
// is asked of the same search one field further, and each answer is kept
// per field and quote, so the cost stays linear in the file size.
class SavedFormReader {
public:
    SavedFormReader(QByteArrayView bytes, QByteArrayView lineEnd)
        : data_(bytes), lineEnd_(lineEnd), lastQuote_(bytes.lastIndexOf('"'))
    {
        for (qsizetype pos = 0, lastNul = -1; pos < std::min(bytes.size(), kReach); ++pos) {
            if (bytes[pos] == '\0')
                lastNul = pos;
            else if (bytes[pos] == '"' && (lineEndAt(pos + 1) || pos == bytes.size() - 1))
                quotes_.push_back({pos, lastNul});
        }
    }

    // The table, if every field reads (with no quote behind the 48th line if `quoteFreeRest`).
    std::optional<ChannelTable> read(bool quoteFreeRest)
    {
        quoteFreeRest_ = quoteFreeRest;
        closing_.assign(quotes_.size() * kFieldCount, kUnknown);
        if (!readsFrom(0, 0, 0))
            return std::nullopt;
        ChannelTable table;
        qsizetype pos = 0, quote = 0;
        for (int field = 0; field < kFieldCount; ++field) {
            ChannelRow &row = table[field / 3];
            if (isFlag(field)) {
                row.enabled = data_[pos] == '1';
                pos += 1 + lineEnd_.size();
                continue;
            }
            quote = closingQuote(field, pos, quote);
            QByteArray text = data_.sliced(pos + 1, quotes_[quote].pos - pos - 1).toByteArray();
            if (lineEnd_.size() == 1)  // CR LF inside the texts became LF too
                text.replace("\n", "\r\n");
            (isFlag(field - 1) ? row.phoneNo : row.message) = fromLineBytes(text);
            pos = quotes_[quote++].pos + 1 + lineEnd_.size();
        }
        return table;
    }

private:
    struct Quote {
        qsizetype pos;
        qsizetype lastNul;  // the last NUL in front of it, or -1
    };
    static constexpr qint32 kUnknown = -1;

    bool lineEndAt(qsizetype pos) const { return data_.sliced(std::min(pos, data_.size())).startsWith(lineEnd_); }

    // Whether fields `field` to the last read from `pos` on; no quote in
    // front of index `quote` lies behind `pos`.
    bool readsFrom(int field, qsizetype pos, qsizetype quote)
    {
        if (pos >= data_.size())
            return false;
        if (isFlag(field))
            return (data_[pos] == '0' || data_[pos] == '1') && lineEndAt(pos + 1)
                && readsFrom(field + 1, pos + 1 + lineEnd_.size(), quote);
        if (data_[pos] != '"')
            return false;
        const qsizetype close = closingQuote(field, pos, quote);
        return close < qsizetype(quotes_.size()) && quotes_[close].pos - pos - 1 <= kMaxTextBytes
            && quotes_[close].lastNul < pos;
    }

    // The index of the first quote behind `pos` that can close text `field`
    // (its size when none can), looking from index `from` on.
    qsizetype closingQuote(int field, qsizetype pos, qsizetype from)
    {
        qint32 *known = closing_.data() + field * quotes_.size();
        const auto count = qsizetype(quotes_.size());
        while (from < count && quotes_[from].pos <= pos)
            ++from;
        qsizetype at = from;
        while (at < count && known[at] == kUnknown && !closes(field, at))
            ++at;
        const qint32 found = at < count && known[at] != kUnknown ? known[at] : qint32(at);
        std::fill(known + from, known + std::min(at + 1, count), found);
        return found;
    }

    // Whether quote `at` can close text `field`: behind the last text, the
    // rest may hold quotes unless a quote-free one is asked for.
    bool closes(int field, qsizetype at)
    {
        const qsizetype pos = quotes_[at].pos;
        if (field == kFieldCount - 1)
            return pos == data_.size() - 1 || !quoteFreeRest_ || pos == lastQuote_;
        return lineEndAt(pos + 1) && readsFrom(field + 1, pos + 1 + lineEnd_.size(), at + 1);
    }

    QByteArrayView data_;
    QByteArrayView lineEnd_;
    qsizetype lastQuote_;
    bool quoteFreeRest_ = true;
    std::vector<Quote> quotes_;    // the quotes before a line end or at the very end
    std::vector<qint32> closing_;  // per field and quote: the first quote from there on that closes the field
};

}  // namespace

std::optional<ChannelTable> readSavedForm(const QByteArray &bytes)
{
    QByteArrayView data(bytes);
    // A byte-order mark an editor put in front; a saved file starts with 0 or 1.
    if (data.startsWith("\xEF\xBB\xBF"))
        data = data.sliced(3);
    if (data.size() < 2 || (data[0] != '0' && data[0] != '1'))
        return std::nullopt;
    // The first line tells the line end the whole file uses: CR LF as saved,
    // or LF after an editor or version control converted it.
    const QByteArrayView lineEnd = data[1] == '\n' ? "\n" : "\r\n";
    if (!data.sliced(1).startsWith(lineEnd))
        return std::nullopt;
    // A rest without quotes behind the 48th line comes first, so only lines
    // with quotes there can shorten the last texts.
    SavedFormReader reader(data, lineEnd);
    std::optional<ChannelTable> table = reader.read(true);
    return table ? table : reader.read(false);
}
