// A table of 16 rows built from the input is saved and loaded again: unless
// Save refuses it, it must come back exactly, all 16 records and nothing left
// over, and so after what editors and version control do to text files.

#include "configfile/config_format.h"
#include "fuzz/fuzz_check.h"

#include <QBuffer>

#include <algorithm>

#include <cstddef>
#include <cstdint>

namespace {

constexpr int kMaxPhoneNo = 16;
constexpr int kMaxMessage = 160;

// Hands out the input byte by byte; zeros once it runs dry.
class Bytes
{
public:
    Bytes(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t next() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::size_t left() const { return size_ - pos_; }

private:
    const std::uint8_t *data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Any character 0x01 to 0xFF (Latin-1), with quotes and line breaks drawn
// often, since they are what the reader must tell from a text's end.
QString makeText(Bytes &bytes, int maxLength)
{
    static const QString tricky = QStringLiteral("\"\r\n\r\n01");
    const int length = bytes.next() % (maxLength + 1);
    QString text;
    for (int i = 0; i < length; ++i) {
        const std::uint8_t b = bytes.next();
        text += b & 0x80 ? tricky.at(b % tricky.size()) : QChar(char16_t(bytes.next() % 0xFF + 1));
    }
    return text;
}

// What is left of the input, as lines without NUL, ending in a line end.
QByteArray remainingLines(Bytes &bytes)
{
    QByteArray lines;
    while (bytes.left() > 0) {
        const char c = char(bytes.next());
        lines += c == '\0' ? '\n' : c;
    }
    return lines + "\r\n";
}

// A quote followed by CR, LF or the end: what could close a text, whatever the line ends.
bool holdsQuoteBeforeLineEnd(const QByteArray &bytes)
{
    return bytes.endsWith('"') || bytes.contains("\"\r") || bytes.contains("\"\n");
}

void requireLoads(QByteArray file, const ChannelTable &table)
{
    QBuffer buffer(&file);
    buffer.open(QIODevice::ReadOnly);
    const ConfigReadResult result = readConfig(buffer);
    FUZZ_REQUIRE(result.complete);
    FUZZ_REQUIRE(result.cutChannels.isEmpty());
    for (int i = 0; i < kChannelCount; ++i)
        FUZZ_REQUIRE(result.rows[i] == table[i]);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Bytes bytes(data, size);
    ChannelTable table;
    for (ChannelRow &row : table) {
        row.enabled = bytes.next() & 1;
        row.phoneNo = makeText(bytes, kMaxPhoneNo);
        row.message = makeText(bytes, kMaxMessage);
    }

    // Save refuses only a table with a quote right before CR LF, and then
    // names a channel that holds one; every other table must come back.
    if (const std::optional<UnsavableChannel> unsavable = findUnsavableChannel(table)) {
        const ChannelRow &row = table[unsavable->channel - 1];
        FUZZ_REQUIRE(row.phoneNo.contains(QStringLiteral("\"\r\n")) || row.message.contains(QStringLiteral("\"\r\n")));
        return 0;
    }
    QByteArray file = formatConfig(table);
    QBuffer buffer(&file);
    buffer.open(QIODevice::ReadOnly);
    const ConfigReadResult result = readConfig(buffer);

    FUZZ_REQUIRE(result.complete);
    FUZZ_REQUIRE(result.error.isEmpty());
    FUZZ_REQUIRE(result.rows.size() == kChannelCount);
    for (int i = 0; i < kChannelCount; ++i)
        FUZZ_REQUIRE(result.rows[i] == table[i]);
    FUZZ_REQUIRE(buffer.atEnd());

    // What editors and version control do, one at a time and together; the
    // rest of the input makes the lines after the 48th.
    const QByteArray lines = remainingLines(bytes);
    const bool quoteBeforeLineEnd = std::any_of(table.begin(), table.end(), [](const ChannelRow &row) {
        return row.phoneNo.contains(QStringLiteral("\"\r\n")) || row.message.contains(QStringLiteral("\"\r\n"));
    });
    const QByteArray saved = formatConfig(table);
    requireLoads(saved + "\r\n\n\r\n", table);
    requireLoads(saved.chopped(2), table);
    requireLoads("\xEF\xBB\xBF" + saved, table);
    // Lines after the 48th with a quote right before a line end read as
    // the end of a longer last text, the way a file saved with that text
    // reads; other quotes there can cut only texts with such a quote.
    if (!lines.contains('"') || (!quoteBeforeLineEnd && !holdsQuoteBeforeLineEnd(lines)))
        requireLoads(saved + lines, table);

    // LF line ends throughout: a line break in a text comes back as CR LF.
    ChannelTable crlf = table;
    for (ChannelRow &row : crlf)
        for (QString *text : {&row.phoneNo, &row.message})
            text->replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    if (findUnsavableChannel(crlf))
        return 0;
    const QByteArray lf = QByteArray(saved).replace("\r\n", "\n");
    requireLoads(lf, crlf);
    requireLoads("\xEF\xBB\xBF" + lf.chopped(1), crlf);
    if (!lines.contains('"'))
        requireLoads("\xEF\xBB\xBF" + lf + "\n" + lines, crlf);
    return 0;
}
