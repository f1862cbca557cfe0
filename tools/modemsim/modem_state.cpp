#include "tools/modemsim/modem_state.h"

namespace modemsim {

void ModemState::putText(quint16 address, const QByteArray &text)
{
    // Like "MW": the text and its NUL, wrapping at the end of the address space.
    const QByteArray bytes = text + '\0';
    for (qsizetype i = 0; i < bytes.size(); ++i)
        memory[(address + i) % kMemorySize] = bytes[i];
}

QByteArray ModemState::textAt(quint16 address, int maxBytes) const
{
    QByteArray text;
    for (int i = 0; i < maxBytes; ++i) {
        const char c = memory[(address + i) % kMemorySize];
        if (c == '\0')
            break;
        text += c;
    }
    return text;
}

ModemState demoState()
{
    // Channels 0, 1 and 4 enabled, so a first Read fills three rows.
    ModemState state;
    state.slaveId = 1;
    state.enableMask = 0x0013;
    const struct { int channel; const char *phone; const char *message; } rows[] = {
        {0, "+911234567890", "Fire alarm at site A"},
        {1, "+919876543210", "Intruder alarm at gate 2"},
        {4, "+914412345678", "Power failure in pump house"},
    };
    for (const auto &row : rows) {
        state.putText(quint16(16 * row.channel), row.phone);
        state.putText(quint16(256 * (row.channel + 1)), row.message);
    }
    return state;
}

}  // namespace modemsim
