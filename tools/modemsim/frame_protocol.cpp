#include "tools/modemsim/frame_protocol.h"

namespace modemsim {

namespace {

constexpr char kStart = '&';

quint8 byteAt(const QByteArray &bytes, int index) { return quint8(bytes[index]); }

quint16 wordAt(const QByteArray &bytes, int index)
{
    return quint16(byteAt(bytes, index) | byteAt(bytes, index + 1) << 8);
}

// The LEN each command must carry; -1 for letters the modem does not know.
// An MW carries COUNT data bytes and LEN = COUNT + 5, checked once COUNT is in.
int fixedLength(const QByteArray &letters)
{
    if (letters == "E2") return 2;
    if (letters == "E0") return 3;
    if (letters == "E1") return 4;
    if (letters == "MR") return 5;
    if (letters == "MW") return 0;
    return -1;
}

}  // namespace

FrameCheck checkFrame(const QByteArray &buffer)
{
    if (buffer.isEmpty())
        return {FrameStatus::Incomplete};
    if (buffer[0] != kStart)
        return {FrameStatus::Invalid};
    if (buffer.size() < 4)
        return {FrameStatus::Incomplete};
    const int len = byteAt(buffer, 1);
    const int expected = fixedLength(buffer.mid(2, 2));
    if (expected < 0 || (expected > 0 && len != expected) || (expected == 0 && len < 5))
        return {FrameStatus::Invalid};
    if (expected == 0) {
        if (buffer.size() < 7)
            return {FrameStatus::Incomplete};
        if (byteAt(buffer, 6) != len - 5)
            return {FrameStatus::Invalid};
    }
    if (buffer.size() < len + 2)
        return {FrameStatus::Incomplete};
    return {FrameStatus::Complete, len + 2};
}

bool isMemoryRead(const QByteArray &frame) { return frame.mid(2, 2) == "MR"; }

QByteArray executeFrame(const QByteArray &frame, ModemState &state)
{
    // The modem acknowledges writes with "OK"; the tool reads and drops it.
    static const QByteArray ok("OK");
    const QByteArray letters = frame.mid(2, 2);
    if (letters == "E2") {
        // The fifth byte means nothing to the tool; the modem sends 0.
        const char reply[] = {'E', char(state.slaveId), char(state.enableMask & 0xFF),
                              char(state.enableMask >> 8), 0};
        return QByteArray(reply, sizeof reply);
    }
    if (letters == "E0") {
        state.slaveId = byteAt(frame, 4);
        return ok;
    }
    if (letters == "E1") {
        state.enableMask = wordAt(frame, 4);
        return ok;
    }
    const int address = wordAt(frame, 4);
    const int count = byteAt(frame, 6);
    if (letters == "MR") {
        QByteArray reply("R", 1);
        reply += '\0';  // the tool ignores this byte too
        for (int i = 0; i < count; ++i)
            reply += state.memory[(address + i) % kMemorySize];
        return reply;
    }
    for (int i = 0; i < count; ++i)  // MW
        state.memory[(address + i) % kMemorySize] = frame[7 + i];
    return ok;
}

}  // namespace modemsim
