#pragma once

#include "cli/exit_codes.h"
#include "cli/invocation.h"
#include "model/channel_row.h"
#include "transfer/device_read.h"
#include "transfer/verify_compare.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <optional>

// One unit's work, checked before anything is sent.
struct UnitJob {
    Invocation::Command command = Invocation::Read;
    UnitTarget unit;
    std::shared_ptr<const ChannelTable> table;   // write, verify: the file's table
    bool fast = false;    // read, verify: a command ends once its whole reply is in
    bool verify = false;  // write: read the modem back and compare
};

// How one unit's run ended, for the summary, the JSON report and the exit code.
struct UnitResult {
    enum Result { Ok, Differs, NoAnswer, Incomplete, Failed, Interrupted };  // Interrupted last: the history lists them in order
    QString port;                  // as typed
    QString label;                 // "COM 1 (/dev/ttyUSB0)", or the port as typed when it did not open
    QString device;                // what was opened; empty when it did not open
    std::optional<int> slaveId;    // write, verify: the one asked for; read: the modem's
    QString file;
    Result result = Failed;
    int exitCode = kExitDevice;
    qint64 durationMs = 0;
    QStringList errors;            // lines for standard error
    QString note;                  // what was done, when all went well
    ReadOutcome outcome;           // read, verify: the fields the modem did not give
    QList<Difference> differences; // verify, write --verify
    bool checked = false;          // verify, write --verify: the report lists the differences
    std::optional<ChannelTable> table;  // read: the modem's table, when it was read whole
    std::array<QByteArray, kChannelCount> phoneNoBytes, messageBytes;  // read: each slot up to its NUL
    std::optional<QByteArray> standardOutput;  // read: the file's bytes, for standard output
};

// The tables loaded so far, by file name: units that share a file share one
// table, read once.
using LoadedTables = QHash<QString, std::shared_ptr<const ChannelTable>>;

// Loads and checks the unit's file (write, verify) or the place its table
// goes (read). On a problem, the lines that say why are added to *errors.
std::optional<UnitJob> prepareUnit(Invocation::Command command, const UnitTarget &unit, LoadedTables &loaded,
                                   QStringList *errors);

// The file's whole table; a file that does not load whole is refused, with
// the reason in *error.
std::optional<ChannelTable> loadWholeFile(const QString &path, QString *error);
