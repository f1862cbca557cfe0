#pragma once

#include "cli/invocation.h"

#include <QList>
#include <QString>

// The placeholder that --output of a read of several ports must hold.
inline constexpr char kPortPlaceholder[] = "{port}";

// The output file of a read of `port`: {port} becomes "COM3" for a COM
// number, the device's own name ("ttyUSB0") for a device path.
QString expandOutputPattern(const QString &pattern, const QString &port);

// Why these units cannot run in one call: a port named twice, or two reads
// that would write one file. Empty when they can.
QString unitListProblem(const QList<UnitSpec> &units, bool read);
