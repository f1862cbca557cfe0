#pragma once

#include "cli/invocation.h"

#include <QByteArray>
#include <QList>
#include <QString>

// A batch manifest: plain CSV, one unit a line: port, slave ID, file.
//
//   port,slave id,file
//   # bench 2
//   1,1,site.txt
//   /dev/ttyUSB1,2,"site, annex.txt"
//
// A first line that starts with "port" is a header; lines starting with "#"
// and blank lines are skipped. A field may be quoted ("" stands for one
// quote). The slave ID may be left empty where the command does not need one.
// A relative file name is taken from the manifest's folder, as a technician
// who keeps the manifest beside the site files expects.
struct ManifestResult {
    QList<UnitSpec> units;
    int badLine = 0;   // the first line that cannot be used (1-based); 0 when all can
    QString error;     // why, one line
};

// `folder` is where relative file names are taken from.
ManifestResult parseManifest(const QByteArray &text, const QString &folder, bool slaveIdRequired);
