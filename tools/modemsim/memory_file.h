#pragma once

#include "tools/modemsim/modem_state.h"

#include <QString>

namespace modemsim {

// The modem's memory, slave ID and enable mask kept in a file between runs.
bool loadMemoryFile(const QString &path, ModemState &state, QString *error);
bool saveMemoryFile(const QString &path, const ModemState &state, QString *error);

}  // namespace modemsim
