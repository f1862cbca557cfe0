#include "tools/modemsim/memory_file.h"

#include "configfile/output_file.h"

#include <QFile>

namespace modemsim {

// The file holds the memory image, then the slave ID and the enable mask
// (low byte first). An image alone, as earlier builds saved it, still loads
// and leaves the slave ID and the mask as they were.
constexpr int kSettingsSize = 3;

bool loadMemoryFile(const QString &path, ModemState &state, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, file.errorString());
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
    OutputFile file;
    if (!file.open(path) || !file.write(bytes) || !file.commit()) {
        if (error)
            *error = QStringLiteral("the memory could not be saved to %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

}  // namespace modemsim
