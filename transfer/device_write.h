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

struct WriteOutcome {
    bool completed = false;
    int framesSent = 0;
};

// Sends every frame; the modem's replies are read and not looked at.
WriteOutcome runDeviceWrite(TransferHost &host, const WriteRequest &request);
