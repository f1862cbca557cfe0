#include "cli/manifest.h"

#include <QDir>
#include <QStringList>

#include <optional>

namespace {

// The fields of one CSV line, trimmed; nullopt when a quote is left open.
std::optional<QStringList> csvFields(const QString &line)
{
    QStringList fields{QString()};
    bool quoted = false;
    for (qsizetype at = 0; at < line.size(); ++at) {
        const QChar c = line[at];
        if (quoted && c == QLatin1Char('"') && at + 1 < line.size() && line[at + 1] == QLatin1Char('"'))
            fields.last() += line[++at];
        else if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (c == QLatin1Char(',') && !quoted)
            fields.append(QString());
        else
            fields.last() += c;
    }
    if (quoted)
        return std::nullopt;
    for (QString &field : fields)
        field = field.trimmed();
    return fields;
}

// One unit from a line's fields, or the reason it cannot be one.
QString readUnit(const QStringList &fields, const QString &folder, bool slaveIdRequired, UnitSpec &unit)
{
    if (fields.size() != 3)
        return QStringLiteral("%1 fields where port, slave ID and file are expected").arg(fields.size());
    unit.port = fields[0];
    if (!parsePortNumber(unit.port))
        return QStringLiteral("\"%1\" is neither a COM number 1 to 255 nor a device path").arg(unit.port);
    if (!fields[1].isEmpty() || slaveIdRequired) {
        unit.slaveId = parseSlaveId(fields[1]);
        if (!unit.slaveId)
            return QStringLiteral("\"%1\" is not a slave ID 1 to 32").arg(fields[1]);
    }
    if (fields[2].isEmpty())
        return QStringLiteral("no file");
    unit.file = QDir::cleanPath(QDir(folder).filePath(fields[2]));
    return {};
}

}  // namespace

ManifestResult parseManifest(const QByteArray &text, const QString &folder, bool slaveIdRequired)
{
    ManifestResult result;
    const QStringList lines = QString::fromUtf8(text).split(QLatin1Char('\n'));
    bool first = true;
    for (qsizetype index = 0; index < lines.size(); ++index) {
        const QString line = lines[index].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const std::optional<QStringList> fields = csvFields(line);
        const bool header = first && fields && fields->first().startsWith(QLatin1String("port"), Qt::CaseInsensitive);
        first = false;
        if (header)
            continue;
        UnitSpec unit;
        const QString error = fields ? readUnit(*fields, folder, slaveIdRequired, unit) : QStringLiteral("a quote is not closed");
        if (!error.isEmpty())
            return {{}, int(index) + 1, error};
        result.units.append(unit);
    }
    if (result.units.isEmpty())
        result.error = QStringLiteral("no units in it");
    return result;
}
