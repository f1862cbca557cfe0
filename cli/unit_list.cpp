#include "cli/unit_list.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

namespace {

QString portName(const QString &port)
{
    const int number = parsePortNumber(port).value_or(0);
    return number > 0 ? QStringLiteral("COM%1").arg(number) : QFileInfo(port).fileName();
}

// One key for every spelling of a port ("3", "COM 3", "com3").
QString portKey(const QString &port)
{
    const int number = parsePortNumber(port).value_or(0);
    return number > 0 ? QStringLiteral("COM%1").arg(number) : QDir::cleanPath(QFileInfo(port).absoluteFilePath());
}

QString fileKey(const QString &file)
{
    return file == QLatin1String("-") ? file : QDir::cleanPath(QFileInfo(file).absoluteFilePath());
}

}  // namespace

QString expandOutputPattern(const QString &pattern, const QString &port)
{
    QString file = pattern;
    return file.replace(QLatin1String(kPortPlaceholder), portName(port));
}

QString unitListProblem(const QList<UnitSpec> &units, bool read)
{
    QHash<QString, QString> ports, files;
    for (const UnitSpec &unit : units) {
        const QString port = portKey(unit.port);
        if (ports.contains(port))
            return QStringLiteral("the port \"%1\" is given twice (as \"%2\")").arg(ports[port], unit.port);
        ports.insert(port, unit.port);
        if (!read)
            continue;
        const QString file = fileKey(unit.file);
        if (files.contains(file))
            return QStringLiteral("\"%1\" and \"%2\" would both be read into %3").arg(files[file], unit.port, unit.file);
        files.insert(file, unit.port);
    }
    return {};
}
