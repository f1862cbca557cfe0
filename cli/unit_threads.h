#pragma once

#include "cli/unit_job.h"

#include <QList>

class ProgressLines;

// Runs the jobs, at most `atOnce` at a time, and gives back their results in
// the jobs' order; line n of `progress` follows job n. A job whose thread
// cannot be started fails with the reason and the others go on; after a stop
// signal the jobs not yet started are not started.
QList<UnitResult> runSideBySide(const QList<UnitJob> &jobs, int atOnce, ProgressLines &progress);

// "Writing COM 1 (/dev/ttyUSB0)", "Reading /dev/ttyUSB1": a unit's progress line.
QString progressTitle(Invocation::Command command, const QString &port);
