#pragma once

#include <QCoreApplication>

// The configuration file's texts for the operator, all in one translation
// context: ConfigFile::tr("...").
struct ConfigFile {
    Q_DECLARE_TR_FUNCTIONS(ConfigFile)
};
