#pragma once

#include <QByteArray>

namespace modemsim {

constexpr int kMemorySize = 65536;  // the modem's 16-bit address space

// What the modem stores: its slave ID, the 16-bit channel-enable mask and a
// 64 KiB memory (phone slot of channel n at 16 * n, message slot at 256 * (n + 1)).
struct ModemState {
    quint8 slaveId = 1;
    quint16 enableMask = 0;
    QByteArray memory = QByteArray(kMemorySize, '\0');

    // Writes the bytes and one NUL at the address, as the modem's "MW" does.
    void putText(quint16 address, const QByteArray &text);
    // Reads up to maxBytes from the address, stopping before the first NUL.
    QByteArray textAt(quint16 address, int maxBytes) const;
};

// A small configuration (a few channels enabled, with numbers and messages)
// so that a first Read shows something.
ModemState demoState();

}  // namespace modemsim
