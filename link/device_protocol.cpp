#include "link/device_protocol.h"

#include "model/line_text.h"

namespace protocol {

static QByteArray frame(const char command[2], const QByteArray &operands)
{
    QByteArray bytes;
    bytes.reserve(operands.size() + 4);
    bytes.append('&');
    bytes.append(char(operands.size() + 2));
    bytes.append(command, 2);
    bytes.append(operands);
    return bytes;
}

static QByteArray addressBytes(quint16 address)
{
    QByteArray bytes;
    bytes.append(char(address & 0xFF));
    bytes.append(char(address >> 8));
    return bytes;
}

QByteArray frameReadSettings() { return frame("E2", {}); }

QByteArray frameWriteSlaveId(quint8 slaveId) { return frame("E0", QByteArray(1, char(slaveId))); }

QByteArray frameWriteEnableMask(quint16 mask) { return frame("E1", addressBytes(mask)); }

QByteArray frameReadMemory(quint16 address, quint8 count)
{
    return frame("MR", addressBytes(address) + char(count));
}

QByteArray frameWriteText(quint16 address, const QByteArray &text)
{
    if (text.size() > kMaxWriteText)
        return {};
    return frame("MW", addressBytes(address) + char(text.size() + 1) + text + '\0');
}

quint16 encodeEnableMask(const EnableFlags &enabled)
{
    quint16 mask = 0;
    for (int channel = kChannelCount - 1; channel >= 0; --channel)
        mask = quint16(mask * 2 + (enabled[channel] ? 1 : 0));
    return mask;
}

EnableFlags decodeEnableMask(quint16 mask)
{
    EnableFlags enabled{};
    for (int channel = 0; channel < kChannelCount; ++channel)
        enabled[channel] = (mask >> channel) & 1;
    return enabled;
}

bool fits(const QByteArray &reply, ReplyShape shape)
{
    return reply.size() == shape.length && reply[0] == shape.first;
}

std::optional<Settings> decodeSettingsReply(const QByteArray &reply)
{
    if (!fits(reply, kSettingsReply))
        return std::nullopt;
    return Settings{quint8(reply[1]), quint16(quint8(reply[2]) | quint8(reply[3]) << 8)};
}

std::optional<QString> decodeMemoryTextReply(const QByteArray &reply, int count)
{
    if (!fits(reply, memoryReply(count)))
        return std::nullopt;
    return decodeSlotText(reply.mid(2));
}

QString decodeSlotText(const QByteArray &bytes)
{
    qsizetype end = 0;
    while (end < bytes.size() && bytes[end] != '\0' && quint8(bytes[end]) < 0x80)
        ++end;
    return fromLineBytes(bytes.left(end));
}

}  // namespace protocol
