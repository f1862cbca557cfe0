#pragma once

// What the modem holds, and with it every range the tool offers or checks.

// The channel table: one row per channel.
inline constexpr int kChannelCount = 16;

// Longest texts the editors hand back and the window lets the operator
// type: a phone number of 15 characters fits its slot with its NUL, and a
// message of 160 fills everything a Read fetches of its slot.
inline constexpr int kPhoneNoLimit = 15;
inline constexpr int kMessageLimit = 160;

// The slave IDs the tool writes: the entries of the Slave ID list.
inline constexpr int kFirstSlaveId = 1;
inline constexpr int kLastSlaveId = 32;
constexpr bool isSlaveId(int id) { return id >= kFirstSlaveId && id <= kLastSlaveId; }

// The slave IDs a Read takes over: every ID the tool itself can write, so
// that whatever it wrote comes back. Any other ID leaves the list as it is.
inline constexpr int kFirstSlaveIdTakenOver = kFirstSlaveId;
inline constexpr int kLastSlaveIdTakenOver = kLastSlaveId;
constexpr bool isSlaveIdTakenOver(int id) { return id >= kFirstSlaveIdTakenOver && id <= kLastSlaveIdTakenOver; }

// COM port numbers as the operator knows them.
inline constexpr int kFirstComPort = 1;
inline constexpr int kLastComPort = 255;
