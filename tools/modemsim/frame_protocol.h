#pragma once

#include "tools/modemsim/modem_state.h"

#include <QByteArray>

namespace modemsim {

// Frames from the tool: '&', LEN (the bytes after LEN), two command letters,
// operands. The modem knows E0, E1, E2, MR and MW.
enum class FrameStatus {
    Complete,    // a whole, valid frame of `length` bytes starts the buffer
    Incomplete,  // could still become a valid frame once more bytes arrive
    Invalid,     // the first byte cannot start a valid frame
};

struct FrameCheck {
    FrameStatus status;
    int length = 0;
};

// Judges the bytes at the front of the receive buffer. The header alone
// decides validity, so a bad frame is rejected before its data arrives.
FrameCheck checkFrame(const QByteArray &buffer);

// Carries out a complete, valid frame on the modem's state and returns the
// modem's answer.
QByteArray executeFrame(const QByteArray &frame, ModemState &state);

bool isMemoryRead(const QByteArray &frame);

}  // namespace modemsim
