#pragma once

// What telvarin-cli returns, for scripts to act on.
inline constexpr int kExitOk = 0;
// The modem did not answer, answered only in part, or holds something else.
inline constexpr int kExitDevice = 1;
// Bad usage, or a file or port that cannot be used: nothing was sent.
inline constexpr int kExitUsage = 2;
// Stopped by a signal: 128 + its number (130 for SIGINT, 143 for SIGTERM).
inline constexpr int exitForSignal(int signal) { return 128 + signal; }
