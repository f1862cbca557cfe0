// A table of 16 rows built from the input is saved and loaded again: unless
// Save refuses it, it must come back exactly, all 16 records and nothing left over.

#include "configfile/config_format.h"
#include "fuzz/fuzz_check.h"

#include <QBuffer>

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
    return 0;
}
