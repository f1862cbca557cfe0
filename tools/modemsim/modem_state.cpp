#include "tools/modemsim/modem_simulator.h"

#include <QFile>

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

// The file holds the memory image, then the slave ID and the enable mask
// (low byte first). An image alone, as earlier builds saved it, still loads
// and leaves the slave ID and the mask as they were.
constexpr int kSettingsSize = 3;

bool loadMemoryFile(const QString &path, ModemState &state, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const QByteArray bytes = file.read(kMemorySize + kSettingsSize + 1);
    if (bytes.size() != kMemorySize && bytes.size() != kMemorySize + kSettingsSize) {
        if (error)
            *error = QStringLiteral("%1 holds %2 bytes, not %3 or %4")
                         .arg(path).arg(bytes.size()).arg(kMemorySize).arg(kMemorySize + kSettingsSize);
        return false;
    }
    state.memory = bytes.left(kMemorySize);
    if (bytes.size() > kMemorySize) {
        state.slaveId = quint8(bytes[kMemorySize]);
        state.enableMask = quint16(quint8(bytes[kMemorySize + 1]) | (quint8(bytes[kMemorySize + 2]) << 8));
    }
    return true;
}

bool saveMemoryFile(const QString &path, const ModemState &state, QString *error)
{
    const QByteArray bytes = state.memory + char(state.slaveId) + char(state.enableMask & 0xFF)
                             + char(state.enableMask >> 8);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

}  // namespace modemsim
