#pragma once

#include "cli/unit_target.h"

#include <QByteArray>
#include <QList>
#include <QString>

// A batch manifest: CSV, one unit a line: port, slave ID, file.
//
//   port,slave id,file
//   # bench 2
//   1,1,site.txt
//   /dev/ttyUSB1,2,"site, annex.txt"
//
// The fields are read as a spreadsheet writes them (cli/csv_fields.h); a
// line a spreadsheet would not write is refused, never guessed at. A first
// line whose fields are the column names (any case, blanks around them) is
// the header; any other line is a unit. Lines starting with "#" and blank
// lines are skipped. Blanks around the port and the slave ID do not count;
// the file name is taken exactly as its field holds it. The slave ID may be
// left empty where the command does not need one. A relative file name is
// taken from the manifest's folder, as a technician who keeps the manifest
// beside the site files expects.
struct ManifestResult {
    QList<UnitTarget> units;
    int badLine = 0;   // the first line that cannot be used (1-based); 0 when all can
    QString error;     // why, one line
};

// `folder` is where relative file names are taken from.
ManifestResult parseManifest(const QByteArray &text, const QString &folder, bool slaveIdRequired);

// The manifest's size limit: far beyond any bench, and what a run holds of a
// manifest this big stays within about 100 MB.
inline constexpr qint64 kManifestMaxBytes = 16 * 1024 * 1024;

// Reads and parses the manifest at `path`. Only an ordinary file of at most
// kManifestMaxBytes is read: a FIFO, a terminal or a device is refused at once.
// A problem is one line naming the path in `error` (and the line in `badLine`).
ManifestResult readManifest(const QString &path, bool slaveIdRequired);
