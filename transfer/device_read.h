#pragma once

#include "transfer/transfer_host.h"

#include <QList>

#include <optional>

struct ReadOutcome {
    enum Status { Completed, NoAnswer, Stopped };
    Status status = Completed;
    // Channels (0-based) whose field kept its value: its "MR" reply was
    // rejected or followed by stray bytes, or the run stopped before it.
    QList<int> phoneNosMissed;
    QList<int> messagesMissed;
    bool settingsMissed = false;  // stopped before the slave ID and the flags were read
    // Channels whose phone slot holds no end mark in its 16 bytes: the
    // number the modem dials runs on into the next slot.
    QList<int> phoneNosRunOn;
    // The modem's slave ID when it is one the Slave ID list does not offer
    // (the selection then stays as it was).
    std::optional<int> slaveIdNotTakenOver;
};

// The frames of a Read, in the order they go out: "E2", then the phone
// slot and after them the message slot of every channel.
QList<QByteArray> readFrames();

// Reads the modem's whole configuration into the target. Only a rejected
// "E2" reply (or one followed by stray bytes) stops the run before its end;
// a rejected "MR" reply leaves its one field unchanged and the run goes on.
ReadOutcome runDeviceRead(TransferHost &host, ReadTarget &target);

// The warning after a Read that could not read every field, or that stopped
// before its end; empty when nothing was missed.
QString missedFieldsText(const ReadOutcome &outcome);

// The same fields on one line: "phone number of channels 1, 2; message of
// channel 5"; empty when nothing was missed.
QString missedFields(const ReadOutcome &outcome);

// What a Read that got its fields found wrong in the modem: a phone number
// that runs into the next slot, a slave ID the list does not offer. One
// paragraph each; empty when there is nothing to say.
QString readRemarksText(const ReadOutcome &outcome);

// The same on one line, for the command line: "channel 16's phone number runs
// into the next slot (no end mark in its 16 bytes)"; empty when all is well.
QString phoneNosRunOn(const ReadOutcome &outcome);
