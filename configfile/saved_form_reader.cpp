#include "configfile/saved_form_reader.h"

#include "configfile/config_format.h"
#include "model/line_text.h"

#include <algorithm>
#include <array>
#include <limits>
#include <memory>
#include <vector>

namespace {

constexpr int kFieldsPerRecord = 3;
constexpr int kFieldCount = kChannelCount * kFieldsPerRecord;
// A quoted field, quotes included, is never longer than the lenient reader allows.
constexpr qsizetype kMaxTextBytes = kMaxConfigFieldBytes - 2;
// Every field of a file in this form starts within this many bytes from the
// top; whatever lies further can only be lines after the 48th.
constexpr qsizetype kFieldRegion = qsizetype(kFieldCount) * (kMaxConfigFieldBytes + 2);

// What may follow the 48th line, one bit each. Lines without a double quote
// (blank lines an editor added, a note) can never be taken for the end of
// the last text, so a file followed by them reads exactly as without them;
// other lines only when no reading leaves quote-free ones behind.
enum Rest : quint8 {
    kQuoteFreeRest = 1,
    kAnyRest = 2,
};

bool isFlagField(int field) { return field % kFieldsPerRecord == 0; }

// Reads the 48 fields in two passes whose cost grows linearly with the
// file. The backward pass marks, for every field and every place where it
// could start, whether the rest of the file from there still reads as the
// remaining fields (per Rest). The forward pass then gives each text the
// earliest closing quote that leaves such a rest: the same reading a search
// trying quotes front to back finds, without its cost.
class SavedFormReader {
public:
    SavedFormReader(QByteArrayView bytes, bool lfLineEnds)
        : data_(bytes), size_(bytes.size()), region_(std::min(size_, kFieldRegion)),
          lineEnd_(lfLineEnds ? 1 : 2), lfLineEnds_(lfLineEnds), lastQuote_(bytes.lastIndexOf('"'))
    {
    }

    std::optional<ChannelTable> read()
    {
        indexBytes();
        layOutRows();
        for (int field = kFieldCount - 1; field >= 0; --field) {
            if (isFlagField(field))
                markFlag(field);
            else
                markText(field);
        }
        const quint8 from = flags_.empty() || flags_.front().pos != 0 ? 0 : readable(0, 0);
        const quint8 rest = from & kQuoteFreeRest ? kQuoteFreeRest : from & kAnyRest ? kAnyRest : 0;
        if (rest == 0)
            return std::nullopt;
        std::array<QByteArray, kFieldCount> fields;
        qsizetype pos = 0;
        for (int field = 0; field < kFieldCount; ++field) {
            if (isFlagField(field)) {
                fields[field] = QByteArray(1, data_[pos]);
                pos += 1 + lineEnd_;
                continue;
            }
            auto closer = std::upper_bound(closers_.begin(), closers_.end(), pos,
                                           [](qsizetype at, const Closer &closer) { return at < closer.pos; });
            while (!(closes(field, *closer) & rest))
                ++closer;
            fields[field] = text(pos + 1, closer->pos);
            pos = closer->pos + 1 + lineEnd_;
        }
        ChannelTable table;
        for (int channel = 0; channel < kChannelCount; ++channel) {
            const int first = channel * kFieldsPerRecord;
            table[channel] = {fields[first] == "1", fromLineBytes(fields[first + 1]), fromLineBytes(fields[first + 2])};
        }
        return table;
    }

private:
    // Every field starts a line: a text at a quote there, a flag at a 0 or
    // 1 before a line end. A text can close only at a quote before a line
    // end, or at the very end of a file without a final line end. What
    // starts right behind a flag or closing quote is kept as an index.
    // (32-bit positions keep these lists small: the file is far shorter.)
    struct Opener {
        qint32 pos;
        qint32 nextNul; // the first NUL behind it, or the file size
    };
    struct Flag {
        qint32 pos;
        qint32 opener = -1; // the text starting behind its line end
    };
    struct Closer {
        qint32 pos;
        qint32 opener = -1; // the text or flag starting behind its line end
        qint32 flag = -1;
    };
    // A field's cells: one per opener (text) or flag line where it can start.
    struct Row {
        qsizetype begin = 0; // index range in openers_ or flags_
        qsizetype end = 0;
        qsizetype offset = 0; // of `begin` in readable_
    };

    bool lineEndAt(qsizetype pos) const
    {
        if (lfLineEnds_)
            return pos < size_ && data_[pos] == '\n';
        return pos + 1 < size_ && data_[pos] == '\r' && data_[pos + 1] == '\n';
    }

    quint8 &readable(int field, qsizetype index) { return readable_[std::size_t(rows_[field].offset + index - rows_[field].begin)]; }

    // Whether fields `field` to the last read from the opener or flag line
    // of this index on; -1 (nothing starts there) never reads.
    quint8 readableFrom(int field, qsizetype index)
    {
        const Row &row = rows_[field];
        return index >= row.begin && index < row.end ? readable(field, index) : 0;
    }

    // The rests under which `closer` can close text `field`. Behind the
    // last text: any rest, and a quote-free one past the last quote.
    quint8 closes(int field, const Closer &closer)
    {
        if (field == kFieldCount - 1 && closer.pos == size_ - 1)
            return kQuoteFreeRest | kAnyRest;
        if (!lineEndAt(closer.pos + 1))
            return 0;
        if (field == kFieldCount - 1)
            return quint8(kAnyRest | (closer.pos + 1 + lineEnd_ > lastQuote_ ? kQuoteFreeRest : 0));
        return isFlagField(field + 1) ? readableFrom(field + 1, closer.flag) : readableFrom(field + 1, closer.opener);
    }

    // The bytes that matter, once, up to the last quote that can close a
    // text starting in the region.
    void indexBytes()
    {
        const qsizetype scanEnd = std::min(size_, region_ + kMaxTextBytes + 2);
        const char *bytes = data_.data();
        const auto quotes = std::size_t(std::count(bytes, bytes + scanEnd, '"'));
        const auto lines = std::size_t(std::count(bytes, bytes + scanEnd, '\n')) + 1;
        openers_.reserve(std::min(quotes, lines));
        closers_.reserve(quotes);
        flags_.reserve(lines);
        for (qsizetype pos = 0; pos < scanEnd; ++pos) {
            const char c = bytes[pos];
            const bool lineStart = pos == 0 || bytes[pos - 1] == '\n';
            if (c == '"') {
                if (lineStart && pos < region_)
                    openers_.push_back({qint32(pos), qint32(size_)});
                if (lineEndAt(pos + 1) || pos == size_ - 1)
                    closers_.push_back({qint32(pos)});
            } else if (lineStart && pos < region_ && (c == '0' || c == '1') && lineEndAt(pos + 1)) {
                flags_.push_back({qint32(pos)});
            }
        }
        qsizetype nextNul = size_;
        auto opener = openers_.rbegin();
        for (qsizetype pos = scanEnd - 1; pos >= 0 && opener != openers_.rend(); --pos) {
            if (bytes[pos] == '\0')
                nextNul = pos;
            else if (pos == opener->pos)
                (opener++)->nextNul = qint32(nextNul);
        }
        // What starts behind each line end, found by walking both lists up.
        std::size_t nextOpener = 0, nextFlag = 0;
        for (Closer &closer : closers_) {
            const qsizetype behind = closer.pos + 1 + lineEnd_;
            while (nextOpener < openers_.size() && openers_[nextOpener].pos < behind)
                ++nextOpener;
            while (nextFlag < flags_.size() && flags_[nextFlag].pos < behind)
                ++nextFlag;
            if (nextOpener < openers_.size() && openers_[nextOpener].pos == behind)
                closer.opener = qint32(nextOpener);
            if (nextFlag < flags_.size() && flags_[nextFlag].pos == behind)
                closer.flag = qint32(nextFlag);
        }
        nextOpener = 0;
        for (Flag &flag : flags_) {
            const qsizetype behind = flag.pos + 1 + lineEnd_;
            while (nextOpener < openers_.size() && openers_[nextOpener].pos < behind)
                ++nextOpener;
            if (nextOpener < openers_.size() && openers_[nextOpener].pos == behind)
                flag.opener = qint32(nextOpener);
        }
    }

    // Each field can start only between the end of the shortest and of the
    // longest fields in front of it; its row covers the places there.
    void layOutRows()
    {
        qsizetype cells = 0;
        for (int field = 0; field < kFieldCount; ++field) {
            const qsizetype texts = field - (field + kFieldsPerRecord - 1) / kFieldsPerRecord;
            const qsizetype flags = field - texts;
            const qsizetype first = flags * (1 + lineEnd_) + texts * (2 + lineEnd_);
            const qsizetype last = flags * (1 + lineEnd_) + texts * (kMaxTextBytes + 2 + lineEnd_);
            Row &row = rows_[field];
            if (isFlagField(field)) {
                row.begin = std::lower_bound(flags_.begin(), flags_.end(), first, [](const Flag &flag, qsizetype at) { return flag.pos < at; }) - flags_.begin();
                row.end = std::upper_bound(flags_.begin(), flags_.end(), last, [](qsizetype at, const Flag &flag) { return at < flag.pos; }) - flags_.begin();
            } else {
                row.begin = std::lower_bound(openers_.begin(), openers_.end(), first, [](const Opener &opener, qsizetype at) { return opener.pos < at; }) - openers_.begin();
                row.end = std::upper_bound(openers_.begin(), openers_.end(), last, [](qsizetype at, const Opener &opener) { return at < opener.pos; }) - openers_.begin();
            }
            row.end = std::max(row.begin, row.end);
            row.offset = cells;
            cells += row.end - row.begin;
        }
        // Every cell is marked before it is read: no need to clear them.
        readable_.reset(new quint8[std::size_t(cells)]);
    }

    void markFlag(int field)
    {
        const Row &row = rows_[field];
        for (qsizetype index = row.begin; index < row.end; ++index)
            readable(field, index) = readableFrom(field + 1, flags_[std::size_t(index)].opener);
    }

    // From the back: a text opening at a quote reads when the first quote
    // behind it that can close it, per rest, comes before a NUL and within
    // the longest text.
    void markText(int field)
    {
        const Row &row = rows_[field];
        if (row.begin == row.end)
            return;
        std::array<qsizetype, 2> nextClose{size_, size_}; // per Rest bit
        const qsizetype lastClose = openers_[std::size_t(row.end - 1)].pos + 1 + kMaxTextBytes;
        auto closer = std::upper_bound(closers_.begin(), closers_.end(), lastClose,
                                       [](qsizetype at, const Closer &closer) { return at < closer.pos; });
        for (qsizetype index = row.end - 1; index >= row.begin; --index) {
            const Opener &opener = openers_[std::size_t(index)];
            for (; closer != closers_.begin() && std::prev(closer)->pos > opener.pos; --closer) {
                const quint8 closing = closes(field, *std::prev(closer));
                for (int bit = 0; bit < 2; ++bit) {
                    if (closing & (1 << bit))
                        nextClose[bit] = std::prev(closer)->pos;
                }
            }
            const qsizetype latest = std::min<qsizetype>(opener.pos + 1 + kMaxTextBytes, opener.nextNul - 1);
            readable(field, index) = quint8((nextClose[0] <= latest ? 1 : 0) | (nextClose[1] <= latest ? 2 : 0));
        }
    }

    // A text's bytes; a file whose line ends became LF had CR LF inside its
    // texts turned into LF as well, and the table gets them back.
    QByteArray text(qsizetype begin, qsizetype end) const
    {
        QByteArray bytes = data_.sliced(begin, end - begin).toByteArray();
        if (lfLineEnds_)
            bytes.replace("\n", "\r\n");
        return bytes;
    }

    QByteArrayView data_;
    qsizetype size_;
    qsizetype region_;
    qsizetype lineEnd_;
    bool lfLineEnds_;
    qsizetype lastQuote_;
    std::vector<Opener> openers_;
    std::vector<Closer> closers_;
    std::vector<Flag> flags_;
    std::array<Row, kFieldCount> rows_;
    // Per field and place it can start at: the Rest bits under which fields
    // `field` to the last read from there on.
    std::unique_ptr<quint8[]> readable_;
};

}  // namespace

std::optional<ChannelTable> readSavedForm(const QByteArray &bytes)
{
    QByteArrayView data(bytes);
    // A byte-order mark an editor put in front; a saved file starts with 0 or 1.
    if (data.startsWith("\xEF\xBB\xBF"))
        data = data.sliced(3);
    // The first line tells the line end the whole file uses: CR LF as saved,
    // or LF after an editor or version control converted it.
    if (data.size() < 2 || (data[0] != '0' && data[0] != '1'))
        return std::nullopt;
    const bool lfLineEnds = data[1] == '\n';
    if (!lfLineEnds && !data.sliced(1).startsWith("\r\n"))
        return std::nullopt;
    if (data.size() > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return SavedFormReader(data, lfLineEnds).read();
}
