#pragma once

#include "model/channel_row.h"
#include "link/device_protocol.h"
#include "transfer/transfer_host.h"

#include <QList>
#include <QStringList>

// Longest texts a Write sends. A phone number keeps room for its end mark in
// its 16-byte slot: one of 16 would end in the next slot, where the next
// number overwrites the mark and the modem dials both joined. A message may
// fill everything a Read fetches of its slot.
inline constexpr int kMaxPhoneNoLength = kPhoneNoLimit;
inline constexpr int kMaxMessageLength = protocol::kMessageReadSize;
static_assert(kMaxPhoneNoLength < protocol::kPhoneSlotSize, "a phone number and its end mark fit the slot");

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
    // NoAnswer: the modem did not answer the "E2" asked before the first
    // write command, and nothing was written.
    enum Status { Completed, NoAnswer, Stalled, Stopped };
    Status status = Stopped;
    int framesSent = 0;  // commands wholly on the line (handed to the network, overNetwork)
    bool overNetwork = false;
    bool completed() const { return status == Completed; }
};

// First asks the modem for its settings, as a Read does: without a valid
// answer nothing is written (a wrong port, a modem without power). Then
// sends every frame; the modem's replies to them are read and not looked at.
// A command still in the port when its window ends (Stalled) or a stop ends
// the run there.
WriteOutcome runDeviceWrite(TransferHost &host, const WriteRequest &request);

// "3 of 34 commands reached the line, so …", or that none did; no full stop.
QString commandsReachedText(const WriteOutcome &outcome);
// What a Write that ended early means for the modem, with the number of
// commands that reached the line; empty after a complete Write.
QString writeShortfallText(const WriteOutcome &outcome);
