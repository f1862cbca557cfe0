#pragma once

#include "cli/invocation.h"

// Each command runs to its end and returns the exit code. Errors go to
// standard error, one line each, naming the port or file; the table of
// `read` and the differences of `verify` go to standard output.
int runRead(const Invocation &run);
int runWrite(const Invocation &run);
int runVerify(const Invocation &run);
int runPorts();
