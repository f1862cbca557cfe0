#pragma once

#include "cli/invocation.h"

#include <QString>
#include <QStringList>

class SerialHost;
struct UnitJob;
struct UnitResult;

// read, write and verify of every unit the invocation names, side by side;
// runs to its end and returns the exit code. Errors go to standard error,
// one line each, naming the port or file; the table of `read`, the
// differences of `verify` and the JSON report go to standard output.
int runUnitsCommand(const Invocation &run);
int runPorts(bool json);

// telvarin-cli history … and sheet …; `arguments` as QCoreApplication::arguments().
// The sheet needs a QGuiApplication (it draws text).
int runHistory(const QStringList &arguments);
int runSheet(const QStringList &arguments);

// One unit's transfer on a port just opened, on the unit's own thread; the
// outcome goes into `result` (the port is closed when they return).
void readUnit(SerialHost &host, const UnitJob &job, UnitResult &result);
void writeUnit(SerialHost &host, const UnitJob &job, UnitResult &result);
void verifyUnit(SerialHost &host, const UnitJob &job, UnitResult &result);
// Reads the modem back and compares it with the job's table (and slave ID),
// as verify reports it; `before` says what the unit did first ("wrote …"),
// empty for verify.
void checkUnit(SerialHost &host, const UnitJob &job, UnitResult &result, const QString &before);
