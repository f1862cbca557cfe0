#pragma once

#include "model/modem_limits.h"

#include <QString>

// The ranges as messages name them: "1 to 32".
inline QString slaveIdRange() { return QStringLiteral("%1 to %2").arg(kFirstSlaveId).arg(kLastSlaveId); }
inline QString slaveIdTakenOverRange()
{
    return QStringLiteral("%1 to %2").arg(kFirstSlaveIdTakenOver).arg(kLastSlaveIdTakenOver);
}
inline QString comPortRange() { return QStringLiteral("%1 to %2").arg(kFirstComPort).arg(kLastComPort); }
