#pragma once

#include "cli/invocation.h"

#include <QList>
#include <QString>

// The placeholder that --output of a read of several ports must hold.
inline constexpr char kPortPlaceholder[] = "{port}";

// The output file of a read of `port`: {port} becomes "COM3" for a COM
// number, the device's own name ("ttyUSB0") for a device path.
QString expandOutputPattern(const QString &pattern, const QString &port);

// Why these units cannot run in one call: one port named twice (by any of its
// names: a COM number, the device, a link to it), or two reads that would
// write one file (by any path that leads to it). Empty when they can.
QString unitListProblem(const QList<UnitTarget> &units, bool read);
