#pragma once

#include "transfer/modem_reading.h"
#include "model/channel_row.h"

#include <QString>
#include <QStringList>

#include <optional>

class SerialHost;
struct UnitResult;
struct WriteRequest;

// The file's whole table; a file that does not load whole is refused, with
// the reason in *error.
std::optional<ChannelTable> loadWholeFile(const QString &path, QString *error);

// Why the request cannot be written as it is (a text the modem cannot hold
// or give back), each line with the file's name; empty when it can.
QStringList writeProblemLines(const QString &file, const WriteRequest &request);

// Why a read's table could not be saved at `file`, known before the modem is
// asked: a read of several seconds must not end in a refusal. Empty when it can.
QString outputProblem(const QString &file);

// A whole Read of the modem.
ModemReading readModem(SerialHost &host);

// After a transfer that ended early: closes the port and puts into `result`
// why and the exit code. `leftBehind` tells what the stop means for the user's data;
// it may start a sentence, so it begins with a word of ours, not a name.
void stoppedRun(SerialHost &host, const QString &leftBehind, UnitResult &result);

