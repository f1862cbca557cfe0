#include "cli/manifest.h"

#include "cli/csv_fields.h"
#include "cli/invocation.h"
#include "configfile/regular_file.h"
#include "model/limit_texts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

bool isHeader(const QStringList &fields)
{
    static const QStringList names{QStringLiteral("port"), QStringLiteral("slave id"), QStringLiteral("file")};
    if (fields.size() != names.size())
        return false;
    for (qsizetype at = 0; at < names.size(); ++at) {
        if (fields[at].trimmed().compare(names[at], Qt::CaseInsensitive) != 0)
            return false;
    }
    return true;
}

// One unit from a line's fields, or the reason it cannot be one.
QString unitFromFields(const QStringList &fields, const QString &folder, bool slaveIdRequired, UnitTarget &unit)
{
    if (fields.size() != 3)
        return QStringLiteral("%1 fields where port, slave ID and file are expected").arg(fields.size());
    QString problem;
    const std::optional<UnitPort> port = parseUnitPort(fields[0].trimmed(), &problem);
    if (!port)
        return problem;
    unit.port = *port;
    const QString slaveId = fields[1].trimmed();
    if (!slaveId.isEmpty() || slaveIdRequired) {
        unit.slaveId = parseSlaveId(slaveId);
        if (!unit.slaveId)
            return QStringLiteral("\"%1\" is not a slave ID %2").arg(slaveId, slaveIdRange());
    }
    if (fields[2].isEmpty())
        return QStringLiteral("no file");
    // Joined, not cleaned: "link/../site.txt" is where the link leads, not site.txt here.
    unit.file = QDir(folder).filePath(fields[2]);
    return {};
}

}  // namespace

ManifestResult parseManifest(const QByteArray &text, const QString &folder, bool slaveIdRequired)
{
    ManifestResult result;
    // A spreadsheet's "CSV UTF-8" starts with a byte-order mark.
    const qsizetype start = text.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    bool first = true;
    int number = 0;
    for (qsizetype at = start; at <= text.size();) {
        qsizetype end = text.indexOf('\n', at);
        if (end < 0)
            end = text.size();
        QByteArray line = text.mid(at, end - at);
        at = end + 1;
        ++number;
        if (line.endsWith('\r'))
            line.chop(1);
        const QByteArray bare = line.trimmed();
        if (bare.isEmpty() || bare.startsWith('#'))
            continue;
        const CsvFields csv = csvFields(line);
        if (!csv.error.isEmpty())
            return {{}, number, csv.error};
        const bool header = first && isHeader(csv.fields);
        first = false;
        if (header)
            continue;
        UnitTarget unit;
        if (const QString error = unitFromFields(csv.fields, folder, slaveIdRequired, unit); !error.isEmpty())
            return {{}, number, error};
        result.units.append(unit);
    }
    if (result.units.isEmpty())
        result.error = QStringLiteral("no units in it");
    return result;
}

ManifestResult readManifest(const QString &path, bool slaveIdRequired)
{
    QFile file;
    QString error;
    if (!openRegularFileForReading(file, path, &error))
        return {{}, 0, QStringLiteral("%1: %2").arg(path, error)};
    // One byte past the limit tells a file that is too big from one that just fits.
    const QByteArray text = file.read(kManifestMaxBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return {{}, 0, QStringLiteral("%1: %2").arg(path, file.errorString())};
    if (text.size() > kManifestMaxBytes)
        return {{}, 0, QStringLiteral("%1: larger than %2 MB, more than any bench has units; split it into several manifests")
                           .arg(path).arg(kManifestMaxBytes / (1024 * 1024))};
    ManifestResult manifest = parseManifest(text, QFileInfo(path).absolutePath(), slaveIdRequired);
    if (manifest.badLine > 0)
        manifest.error = QStringLiteral("%1: line %2: %3; nothing was sent").arg(path).arg(manifest.badLine).arg(manifest.error);
    else if (!manifest.error.isEmpty())
        manifest.error = QStringLiteral("%1: %2").arg(path, manifest.error);
    return manifest;
}
