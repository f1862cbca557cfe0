#pragma once

#include "transfer/transfer_host.h"

#include <QList>

// The slave IDs a Read takes over: every ID the tool itself can write.
inline constexpr int kFirstSlaveId = 1;
inline constexpr int kLastSlaveId = 32;

struct ReadOutcome {
    enum Status { Completed, NoAnswer, Stopped };
    Status status = Completed;
    // Channels (0-based) whose field kept its value: its "MR" reply was
    // rejected, or the run stopped before it.
    QList<int> phoneNosMissed;
    QList<int> messagesMissed;
    bool settingsMissed = false;  // stopped before the slave ID and the flags were read
};

// The 33 frames of a Read, in the order they go out: "E2", 16 phone slots,
// 16 message slots.
QList<QByteArray> readFrames();

// Reads the modem's whole configuration into the target. Only a rejected
// "E2" reply stops the run before its end; a rejected "MR" reply leaves its
// one field unchanged and the run goes on.
ReadOutcome runDeviceRead(TransferHost &host, ReadTarget &target);

// The warning after a Read that could not read every field, or that stopped
// before its end; empty when nothing was missed.
QString missedFieldsText(const ReadOutcome &outcome);
