#pragma once

#include "cli/invocation.h"
#include "cli/unit_job.h"
#include "link/com_port.h"

#include <QByteArray>
#include <QList>

// The report that --json prints on standard output: one document with a
// "format" member (1) that changes only when a member changes meaning or goes.
// Texts are the modem's texts as a Read decodes them (characters 1 to 127;
// control characters as JSON \u escapes), so nothing is lost on the way.
// "read", "write" or "verify", as the command line and the report name it.
QString commandName(Invocation::Command command);
// "ok", "differs", "no-answer", "incomplete", "failed", "interrupted"
QString resultName(UnitResult::Result result);

QByteArray unitsReport(Invocation::Command command, const QList<UnitResult> &results, int exitCode);
QByteArray portsReport(const QList<PresentComPort> &ports);

// The report of a run refused before anything was sent (bad usage, a file or
// manifest that cannot be used): exit code 2, the reasons in "errors", no
// units. `command` is null when the command line named none.
QByteArray refusalReport(const QString &command, const QStringList &errors);
