#pragma once

#include "cli/invocation.h"

// read, write and verify of every unit the invocation names, side by side;
// runs to its end and returns the exit code. Errors go to standard error,
// one line each, naming the port or file; the table of `read`, the
// differences of `verify` and the JSON report go to standard output.
int runUnitsCommand(const Invocation &run);
