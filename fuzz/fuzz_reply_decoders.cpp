// Any bytes as the modem's reply. The input goes as it stands to the "E2"
// decoder and to both "MR" decoders (16 and 160 bytes), inside a well-framed
// "MR" reply to the text decoding. (What a whole Read does with the decoded
// replies is tested against a scripted modem in the unit tests.) The expected results are written down here from the protocol's
// byte layout, not taken from the code under test.

#include "fuzz/fuzz_check.h"
#include "link/device_protocol.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace {

constexpr int kPhoneRead = 16;    // bytes an "MR" fetches from a phone slot
constexpr int kMessageRead = 160; // and from a message slot

quint8 byteAt(const QByteArray &bytes, qsizetype i) { return quint8(bytes[i]); }

// A text decoded from `read`, the data bytes of an "MR" reply: the bytes in
// front of the first NUL or byte of 0x80 and above, one character each.
void checkSlotText(const QString &text, const QByteArray &read)
{
    FUZZ_REQUIRE(text.size() <= read.size());
    for (QChar c : text) {
        FUZZ_REQUIRE(c.unicode() != 0);
        FUZZ_REQUIRE(c.unicode() < 0x80);
    }
    FUZZ_REQUIRE(text.toLatin1() == read.left(text.size()));
    if (text.size() < read.size()) {
        const quint8 stop = byteAt(read, text.size());
        FUZZ_REQUIRE(stop == 0 || stop >= 0x80);
    }
}

void checkSettingsReply(const QByteArray &reply)
{
    const std::optional<protocol::Settings> settings = protocol::decodeSettingsReply(reply);
    FUZZ_REQUIRE(settings.has_value() == (reply.size() == 5 && reply[0] == 'E'));
    if (!settings)
        return;
    FUZZ_REQUIRE(settings->slaveId == byteAt(reply, 1));
    const protocol::EnableFlags enabled = protocol::decodeEnableMask(settings->enableMask);
    for (int channel = 0; channel < 16; ++channel)
        FUZZ_REQUIRE(enabled[channel] == bool((byteAt(reply, 2 + channel / 8) >> (channel % 8)) & 1));
}

void checkMemoryReply(const QByteArray &reply, int count)
{
    const std::optional<QString> text = protocol::decodeMemoryTextReply(reply, count);
    FUZZ_REQUIRE(text.has_value() == (reply.size() == count + 2 && reply[0] == 'R'));
    if (text)
        checkSlotText(*text, reply.mid(2));
}

// The input's bytes as the data of an "MR" reply of `count` bytes: always
// accepted, so every input reaches the text decoding.
void checkFramedMemoryReply(const QByteArray &input, int count)
{
    QByteArray reply = "R" + input.left(count + 1);
    while (reply.size() < count + 2)
        reply += '\xFF';
    const std::optional<QString> text = protocol::decodeMemoryTextReply(reply, count);
    FUZZ_REQUIRE(text.has_value());
    checkSlotText(*text, reply.mid(2));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    checkSettingsReply(input);
    checkMemoryReply(input, kPhoneRead);
    checkMemoryReply(input, kMessageRead);
    checkFramedMemoryReply(input, kPhoneRead);
    checkFramedMemoryReply(input, kMessageRead);
    return 0;
}
