#pragma once

#include "cli/unit_result.h"

#include <QList>
#include <QString>

// The table after a run of several units, for people on standard error:
// one row a unit with its label, slave ID, result and time.
QString summaryTable(const QList<UnitResult> &results);

// The run's exit code: 0 when every unit succeeded, else the gravest unit's
// (1 when a unit failed or differs, 2 when a port or file could not be used).
int runExitCode(const QList<UnitResult> &results);
