// A table of 16 rows built from the input is saved and loaded again: it must
// come back exactly, with all 16 records and nothing left over.

#include "configfile/config_format.h"
#include "fuzz/fuzz_check.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

namespace {

// The file format has no escape: a double quote ends a text early, and the
// reader refuses control bytes. While that holds, tables are built without
// them (CR, LF and TAB are text and stay in). Set this to false to let the
// texts draw on every byte 0x01 to 0xFF.
constexpr bool kOnlyTextsTheFormatCarries = true;

constexpr int kMaxPhoneNo = 16;
constexpr int kMaxMessage = 160;

bool carried(char16_t c)
{
    if (!kOnlyTextsTheFormatCarries)
        return true;
    return c == '\t' || c == '\n' || c == '\r' || (c >= 0x20 && c != '"');
}

// The characters texts are made of: 0x01 to 0xFF as Latin-1.
QList<QChar> alphabet()
{
    QList<QChar> chars;
    for (char16_t c = 0x01; c <= 0xFF; ++c) {
        if (carried(c))
            chars.append(QChar(c));
    }
    return chars;
}

// Hands out the input byte by byte; zeros once it runs dry.
class Bytes
{
public:
    Bytes(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t next() { return pos_ < size_ ? data_[pos_++] : 0; }

private:
    const std::uint8_t *data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

QString makeText(Bytes &bytes, int maxLength)
{
    static const QList<QChar> chars = alphabet();
    const int length = bytes.next() % (maxLength + 1);
    QString text;
    for (int i = 0; i < length; ++i)
        text += chars[bytes.next() % chars.size()];
    return text;
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
    return 0;
}
