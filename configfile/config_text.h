#pragma once

#include <QCoreApplication>
#include <QString>

// The configuration file's texts for the operator, all in one translation context.
inline QString configText(const char *source) { return QCoreApplication::translate("ConfigFile", source); }
