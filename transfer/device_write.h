#pragma once

#include "model/channel_row.h"
#include "link/device_protocol.h"
#include "transfer/transfer_host.h"

#include <QList>
#include <QStringList>

// Longest texts the modem can hold and give back: what a Read fetches of
// each slot.
inline constexpr int kMaxPhoneNoLength = protocol::kPhoneSlotSize;
inline constexpr int kMaxMessageLength = protocol::kMessageReadSize;

struct WriteRequest {
    int slaveId = kFirstSlaveId;  // 0 when the operator chose none
    ChannelTable rows;
};

// Why the request cannot be written correctly, one line per problem; empty
// when it can. Checked before the first frame so a Write never stops half-way.
QStringList writeProblems(const WriteRequest &request);

// The frames of a Write: "E0", "E1", then the phone slot and after them
// the message slot of every channel. Only for a request without problems.
QList<QByteArray> writeFrames(const WriteRequest &request);

inline constexpr int kWriteCommandCount = 2 + 2 * kChannelCount;

struct WriteOutcome {
    enum Status { Completed, Stalled, Stopped };
    Status status = Stopped;
    int framesSent = 0;  // commands wholly on the line
    bool completed() const { return status == Completed; }
};

// Sends every frame; the modem's replies are read and not looked at. A
// command still in the port when its window ends (Stalled) or a stop ends
// the run there.
WriteOutcome runDeviceWrite(TransferHost &host, const WriteRequest &request);

// "3 of 34 commands reached the line, so …", no full stop.
QString commandsReachedText(const WriteOutcome &outcome);
// What a Write that ended early means for the modem, with the number of
// commands that reached the line; empty after a complete Write.
QString writeShortfallText(const WriteOutcome &outcome);
