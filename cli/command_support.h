#pragma once

#include "transfer/modem_reading.h"
#include "model/channel_row.h"

#include <QString>

#include <optional>

class SerialHost;
struct WriteRequest;

// The file's whole table; a file that does not load whole is refused (the
// reason is printed).
std::optional<ChannelTable> loadWholeFile(const QString &path);

// Prints, with the file's name, why the request cannot be written as it is
// (a text the modem cannot hold or give back); true when it cannot.
bool reportWriteProblems(const QString &file, const WriteRequest &request);

// Opens the port or prints why it cannot be used.
bool openPort(SerialHost &host, const QString &port);

// A whole Read of the modem, with the bar when wanted.
ModemReading readModem(SerialHost &host, bool quiet);

// After a transfer that ended early: closes the port, says why and gives the
// exit code. `leftBehind` tells what the stop means for the user's data.
int stoppedRun(SerialHost &host, const QString &leftBehind);
