#pragma once

#include "cli/unit_job.h"

#include <QList>

class ProgressLines;

// Runs every job at once and gives back their results in the jobs' order;
// line n of `progress` follows job n.
QList<UnitResult> runSideBySide(const QList<UnitJob> &jobs, ProgressLines &progress);

// "Writing COM 1 (/dev/ttyUSB0)", "Reading /dev/ttyUSB1": a unit's progress line.
QString progressTitle(Invocation::Command command, const QString &port);
