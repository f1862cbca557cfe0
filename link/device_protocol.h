#pragma once

#include "model/modem_limits.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>

// Every byte the tool exchanges with the modem. A frame is "&", LEN (the
// number of bytes after it), two command letters and the operands; there is
// no checksum and no terminator. Addresses travel low byte first.
namespace protocol {

inline constexpr int kPhoneSlotSize = 16;                // bytes of a phone slot, all of them read
inline constexpr int kMessageReadSize = kMessageLimit;  // bytes read from a message slot: the longest message
inline constexpr int kMaxWriteText = 249;               // LEN = N + 6 must fit one byte
// How long the modem takes at most to answer a command (its longest reply at
// 9600 baud included), and to store what a write command sent it.
inline constexpr int kReplyWindowMs = 200;

constexpr quint16 phoneSlotAddress(int channel) { return quint16(kPhoneSlotSize * channel); }
constexpr quint16 messageSlotAddress(int channel) { return quint16(256 * (channel + 1)); }

QByteArray frameReadSettings();                           // "E2"
QByteArray frameWriteSlaveId(quint8 slaveId);             // "E0"
QByteArray frameWriteEnableMask(quint16 mask);            // "E1"
QByteArray frameReadMemory(quint16 address, quint8 count);  // "MR"
// "MW" of the text and one NUL. Texts longer than kMaxWriteText bytes cannot
// be framed: the result is then empty.
QByteArray frameWriteText(quint16 address, const QByteArray &text);

// What a reply must look like to be accepted: exactly `length` bytes, the
// first of them `first`. Nothing else in a reply is checked.
struct ReplyShape {
    char first;
    int length;
};
inline constexpr ReplyShape kSettingsReply{'E', 5};  // to "E2"
constexpr ReplyShape memoryReply(int count) { return {'R', count + 2}; }  // to "MR" of count bytes
bool fits(const QByteArray &reply, ReplyShape shape);

// One bit per channel, channel 0 in the lowest.
static_assert(kChannelCount <= 8 * sizeof(quint16), "one bit of the mask per channel");
using EnableFlags = std::array<bool, kChannelCount>;
quint16 encodeEnableMask(const EnableFlags &enabled);
EnableFlags decodeEnableMask(quint16 mask);

struct Settings {
    quint8 slaveId;
    quint16 enableMask;
};
// The "E2" reply is accepted only when it is exactly five bytes starting "E".
std::optional<Settings> decodeSettingsReply(const QByteArray &reply);

// An "MR" reply is accepted only when it is exactly count + 2 bytes starting
// "R". Its text runs from offset 2 up to the first NUL, the first byte of
// 0x80 or above, or the end of what was read.
std::optional<QString> decodeMemoryTextReply(const QByteArray &reply, int count);

QString decodeSlotText(const QByteArray &bytes);

}  // namespace protocol
