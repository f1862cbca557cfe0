// Any bytes as the modem's reply. The input goes as it stands to the "E2"
// decoder and to both "MR" decoders (16 and 160 bytes), inside a well-framed
// "MR" reply to the text decoding, and, as a small modem's answers, through a
// whole Read. The expected results are written down here from the protocol's
// byte layout, not taken from the code under test.

#include "fuzz/fuzz_check.h"
#include "link/device_protocol.h"
#include "transfer/device_read.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace {

constexpr int kPhoneRead = 16;    // bytes an "MR" fetches from a phone slot
constexpr int kMessageRead = 160; // and from a message slot
constexpr int kHighestSlaveId = 32; // the slave ID list offers 1 to 32

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

// A modem whose answers come from the input: bytes 0 to 4 are its "E2" reply
// (shorter when the input is), bytes 5 to 8 say which of the 32 "MR" replies
// come back damaged, and the rest, repeated, is its memory.
class InputModem : public TransferHost
{
public:
    explicit InputModem(const QByteArray &input)
        : settingsReply_(input.left(5)), memory_(input.mid(9))
    {
        for (int i = 0; i < 4 && 5 + i < input.size(); ++i)
            damaged_ |= quint32(byteAt(input, 5 + i)) << (8 * i);
    }

    QByteArray settingsReply() const { return settingsReply_; }
    bool damaged(int slot) const { return (damaged_ >> slot) & 1; }
    quint8 memoryAt(int address) const
    {
        return memory_.isEmpty() ? 0 : byteAt(memory_, address % memory_.size());
    }
    QByteArray memory(int address, int count) const
    {
        QByteArray bytes(count, Qt::Uninitialized);
        for (int i = 0; i < count; ++i)
            bytes[i] = char(memoryAt(address + i));
        return bytes;
    }
    const QList<int> &progress() const { return progress_; }

    QByteArray transact(const QByteArray &frame) override
    {
        if (frame == QByteArray("&\x02" "E2", 4))
            return settingsReply_;
        // "&", 5, "MR", address low and high, count; anything else gets silence.
        if (frame.size() != 7 || !frame.startsWith(QByteArray("&\x05" "MR", 4)))
            return {};
        const int address = byteAt(frame, 4) | byteAt(frame, 5) << 8;
        const int count = byteAt(frame, 6);
        QByteArray reply = "R" + QByteArray(1, char(count)) + memory(address, count);
        const int slot = mrReplies_++;
        if (damaged(slot)) {
            switch (slot % 3) {
            case 0: reply.chop(1); break;  // one byte short
            case 1: reply += '\0'; break;  // a stray byte behind it
            default: reply[0] = 'E'; break; // not an "MR" reply
            }
        }
        return reply;
    }
    bool stopRequested() const override { return false; }
    void setProgress(int value) override { progress_.append(value); }

private:
    QByteArray settingsReply_;
    QByteArray memory_;
    quint32 damaged_ = 0;
    int mrReplies_ = 0;
    QList<int> progress_;
};

// Everything a Read hands over, and how often.
class RecordingTarget : public ReadTarget
{
public:
    QList<int> slaveIds;
    std::array<int, 16> enableCalls{};
    std::array<bool, 16> enabled{};
    std::array<int, 16> phoneCalls{};
    std::array<QString, 16> phoneNos;
    std::array<int, 16> messageCalls{};
    std::array<QString, 16> messages;

    void setSlaveId(int slaveId) override { slaveIds.append(slaveId); }
    void setChannelEnabled(int channel, bool on) override
    {
        FUZZ_REQUIRE(channel >= 0 && channel < 16);
        ++enableCalls[channel];
        enabled[channel] = on;
    }
    void setPhoneNo(int channel, const QString &phoneNo) override
    {
        FUZZ_REQUIRE(channel >= 0 && channel < 16);
        ++phoneCalls[channel];
        phoneNos[channel] = phoneNo;
    }
    void setMessage(int channel, const QString &message) override
    {
        FUZZ_REQUIRE(channel >= 0 && channel < 16);
        ++messageCalls[channel];
        messages[channel] = message;
    }
};

void checkWholeRead(const QByteArray &input)
{
    InputModem modem(input);
    RecordingTarget target;
    const ReadOutcome outcome = runDeviceRead(modem, target);

    const QByteArray settings = modem.settingsReply();
    if (settings.size() != 5 || settings[0] != 'E') {
        // A rejected "E2" reply ends the Read and changes nothing.
        FUZZ_REQUIRE(outcome.status == ReadOutcome::NoAnswer);
        FUZZ_REQUIRE(target.slaveIds.isEmpty());
        for (int channel = 0; channel < 16; ++channel) {
            FUZZ_REQUIRE(target.enableCalls[channel] == 0);
            FUZZ_REQUIRE(target.phoneCalls[channel] == 0);
            FUZZ_REQUIRE(target.messageCalls[channel] == 0);
        }
        return;
    }

    FUZZ_REQUIRE(outcome.status == ReadOutcome::Completed);
    const int slaveId = byteAt(settings, 1);
    if (slaveId >= 1 && slaveId <= kHighestSlaveId)
        FUZZ_REQUIRE(target.slaveIds == QList<int>{slaveId});
    else
        FUZZ_REQUIRE(target.slaveIds.isEmpty());

    QList<int> phonesMissed;
    QList<int> messagesMissed;
    for (int channel = 0; channel < 16; ++channel) {
        FUZZ_REQUIRE(target.enableCalls[channel] == 1);
        FUZZ_REQUIRE(target.enabled[channel] == bool((byteAt(settings, 2 + channel / 8) >> (channel % 8)) & 1));

        // Phone slot of channel n at 16 n, message slot at 256 (n + 1).
        if (modem.damaged(channel)) {
            phonesMissed.append(channel);
            FUZZ_REQUIRE(target.phoneCalls[channel] == 0);
        } else {
            FUZZ_REQUIRE(target.phoneCalls[channel] == 1);
            checkSlotText(target.phoneNos[channel], modem.memory(16 * channel, kPhoneRead));
        }
        if (modem.damaged(16 + channel)) {
            messagesMissed.append(channel);
            FUZZ_REQUIRE(target.messageCalls[channel] == 0);
        } else {
            FUZZ_REQUIRE(target.messageCalls[channel] == 1);
            checkSlotText(target.messages[channel], modem.memory(256 * (channel + 1), kMessageRead));
        }
    }
    FUZZ_REQUIRE(outcome.phoneNosMissed == phonesMissed);
    FUZZ_REQUIRE(outcome.messagesMissed == messagesMissed);

    // 4 after "E2", one more per phone slot, five more per message slot.
    QList<int> expectedProgress{4};
    for (int slot = 0; slot < 32; ++slot)
        expectedProgress.append(expectedProgress.back() + (slot < 16 ? 1 : 5));
    FUZZ_REQUIRE(modem.progress() == expectedProgress);
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
    checkWholeRead(input);
    return 0;
}
