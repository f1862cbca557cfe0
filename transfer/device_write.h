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
    int slaveIndex = 0;  // selected entry of the slave ID list, -1 for none
    ChannelTable rows;
};

// Why the request cannot be written correctly, one line per problem; empty
// when it can. Checked before the first frame so a Write never stops half-way.
QStringList writeProblems(const WriteRequest &request);

// The 34 frames of a Write: "E0", "E1", 16 phone slots, 16 message slots.
// Only for a request without problems.
QList<QByteArray> writeFrames(const WriteRequest &request);

inline constexpr int kWriteCommandCount = 34;

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
