#pragma once

// telvarin-cli ports: the COM numbers whose device is present, a line each
// or (json) one report; returns the exit code.
int runPorts(bool json);
