#pragma once

#include "cli/unit_job.h"

#include <QString>

#include <functional>

// What a running unit tells: the port's label once it is open, and its progress.
struct UnitProgress {
    std::function<void(const QString &label)> opened;
    std::function<void(int percent)> percent;
};

// One unit's read, write or verify: opens the port, runs the transfer and
// closes the port again; on the calling thread, which must be able to run an
// event loop. The outcome, its messages and exit code are in the result.
UnitResult runUnit(const UnitJob &job, const UnitProgress &progress);
