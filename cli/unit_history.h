#pragma once

#include "cli/invocation.h"
#include "cli/unit_job.h"

#include <QList>
#include <QString>

// Adds one history record for each unit whose result is final; returns the
// warning line when the history could not take them (empty otherwise). The
// exit code and the report never depend on it.
QString recordUnits(const Invocation &run, const QList<UnitJob> &jobs, const QList<UnitResult> &results);
