#pragma once

// Ctrl-C (SIGINT) and SIGTERM only raise a flag: the transfer looks at it
// after each transaction, so a run ends with the port closed and no file
// half-written, never in the middle of a frame.
void installStopHandlers();

// The signal that asked the run to stop; 0 while none has.
int stopSignal();
