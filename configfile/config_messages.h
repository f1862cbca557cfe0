#pragma once

#include "configfile/config_reader.h"

#include <QString>

// Texts for the operator's message boxes.
QString saveFailureText(const QString &path, const QString &reason);
// For a load that failed, stopped early or cut texts; empty for a complete,
// exact one.
QString loadProblemText(const QString &path, const ConfigReadResult &result);
// Which channels' texts the reading rules cut, as a sentence; empty if none.
QString cutTextsText(const ConfigReadResult &result);
