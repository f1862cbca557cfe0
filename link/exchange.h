#pragma once

#include <QByteArray>

// What one transaction gave back.
struct Exchange {
    // Every byte of the command left the port (within its window, or before
    // the line was lost or the wait cut short). False when nothing was sent.
    bool sent = false;
    // Everything received within the window; empty when nothing arrived.
    QByteArray reply;
    // The line was looked at before the frame went out, and what was found
    // there: bytes that came after the previous command's reply was taken
    // (a late or repeated reply, noise). They are never part of this reply.
    bool lineChecked = false;
    QByteArray strayBefore;

    // Nothing followed the previous command's reply on the line until this
    // command went out: only then can that reply be trusted as its answer.
    bool previousReplyStoodAlone() const { return lineChecked && strayBefore.isEmpty(); }
};
