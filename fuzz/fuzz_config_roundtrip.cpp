// A table built from the input is saved and loaded again: unless Save
// refuses it, it must come back exactly, and so after what editors and
// version control do to text files.

#include "configfile/savable_check.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/round_trip_property.h"

#include <cstddef>
#include <cstdint>

namespace {

// Any character 0x01 to 0xFF (Latin-1), with quotes and line breaks drawn
// often, since they are what the reader must tell from a text's end.
QString makeText(const std::uint8_t *&data, const std::uint8_t *end, int maxLength)
{
    auto next = [&] { return data < end ? *data++ : std::uint8_t(0); };
    QString text;
    for (int length = next() % (maxLength + 1); length > 0; --length) {
        const std::uint8_t b = next();
        text += b & 0x80 ? QChar(u"\"\r\n\r\n01"[b % 7]) : QChar(char16_t(next() % 0xFF + 1));
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::uint8_t *end = data + size;
    ChannelTable table;
    for (ChannelRow &row : table) {
        row.enabled = data < end && (*data++ & 1);
        row.phoneNo = makeText(data, end, 16);
        row.message = makeText(data, end, 160);
    }
    // Which tables Save refuses, and how it names them, the test suite checks.
    if (findUnsavableChannel(table))
        return 0;
    FUZZ_REQUIRE(roundTripFailure(table).isEmpty());
    return 0;
}
