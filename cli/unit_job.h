#pragma once

#include "cli/invocation.h"
#include "cli/unit_result.h"
#include "model/channel_row.h"

#include <QStringList>

#include <QHash>

#include <functional>
#include <memory>
#include <optional>

// One unit's work, checked before anything is sent.
struct UnitJob {
    Invocation::Command command = Invocation::Read;
    UnitSpec unit;
    std::shared_ptr<const ChannelTable> table;   // write, verify: the file's table
    bool fast = false;    // read, verify: a command ends once its whole reply is in
    bool verify = false;  // write: read the modem back and compare
};

// The tables loaded so far, by file name: units that share a file share one
// table, read once.
using LoadedTables = QHash<QString, std::shared_ptr<const ChannelTable>>;

// Loads and checks the unit's file (write, verify) or the place its table
// goes (read). On a problem, the lines that say why are added to *errors.
std::optional<UnitJob> prepareUnit(Invocation::Command command, const UnitSpec &unit, LoadedTables &loaded,
                                   QStringList *errors);

// What a running unit tells: the port's label once it is open, and its progress.
struct UnitProgress {
    std::function<void(const QString &label)> opened;
    std::function<void(int percent)> percent;
};

// Opens the port, runs the transfer and closes the port again; on the
// calling thread, which must be able to run an event loop.
UnitResult runUnit(const UnitJob &job, const UnitProgress &progress);
