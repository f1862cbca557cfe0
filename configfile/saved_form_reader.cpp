#include "configfile/saved_form_reader.h"

#include "configfile/config_format.h"
#include "link/line_text.h"

#include <QSet>

#include <array>

namespace {

constexpr int kFieldsPerRecord = 3;
constexpr int kFieldCount = kChannelCount * kFieldsPerRecord;
// A quoted field, quotes included, is never longer than the lenient reader allows.
constexpr qsizetype kMaxTextBytes = kMaxConfigFieldBytes - 2;
// Bytes looked at before the search gives up: several times the largest
// file, yet a crafted one is read in a fraction of a second. A saved file
// needs about one look per byte; only files full of quotes before line ends
// need more, and those are left to the lenient reader. Save judges a table
// with this same search, so it refuses a table that would need more.
constexpr qint64 kLookBudget = 1'000'000;

class SavedFormParser {
public:
    explicit SavedFormParser(const QByteArray &bytes) : bytes_(bytes) {}

    std::optional<ChannelTable> parse()
    {
        if (!fieldsFrom(0, 0))
            return std::nullopt;
        ChannelTable table;
        for (int channel = 0; channel < kChannelCount; ++channel) {
            const int first = channel * kFieldsPerRecord;
            table[channel] = {fields_[first] == "1", fromLineBytes(fields_[first + 1]),
                              fromLineBytes(fields_[first + 2])};
        }
        return table;
    }

private:
    bool lineEndAt(qsizetype pos) const
    {
        return pos + 1 < bytes_.size() && bytes_[pos] == '\r' && bytes_[pos + 1] == '\n';
    }

    // Whether fields `field` to the last can be read from `pos` on, the
    // file ending right behind the last; fills fields_ on the way back.
    bool fieldsFrom(qsizetype pos, int field)
    {
        if (field == kFieldCount)
            return pos == bytes_.size();
        const quint64 state = quint64(pos) * kFieldCount + quint64(field);
        if (failed_.contains(state))
            return false;
        const bool ok = field % kFieldsPerRecord == 0 ? flagFrom(pos, field) : textFrom(pos, field);
        if (!ok)
            failed_.insert(state);
        return ok;
    }

    bool flagFrom(qsizetype pos, int field)
    {
        if (pos >= bytes_.size() || (bytes_[pos] != '0' && bytes_[pos] != '1') || !lineEndAt(pos + 1))
            return false;
        if (!fieldsFrom(pos + 3, field + 1))
            return false;
        fields_[field] = bytes_.sliced(pos, 1);
        return true;
    }

    bool textFrom(qsizetype pos, int field)
    {
        if (pos >= bytes_.size() || bytes_[pos] != '"')
            return false;
        const qsizetype start = pos + 1;
        const qsizetype last = std::min(bytes_.size() - 1, start + kMaxTextBytes);
        for (qsizetype q = start; q <= last; ++q) {
            if (--budget_ < 0)
                return false;
            const char c = bytes_[q];
            if (c == '\0')
                return false;
            if (c == '"' && lineEndAt(q + 1) && fieldsFrom(q + 3, field + 1)) {
                fields_[field] = bytes_.sliced(start, q - start);
                return true;
            }
        }
        return false;
    }

    const QByteArray &bytes_;
    std::array<QByteArray, kFieldCount> fields_;
    QSet<quint64> failed_;
    qint64 budget_ = kLookBudget;
};

}  // namespace

std::optional<ChannelTable> readSavedForm(const QByteArray &bytes)
{
    return SavedFormParser(bytes).parse();
}
