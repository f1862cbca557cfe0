#include "cli/unit_list.h"

#include "link/com_port.h"
#include "link/port_address.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <sys/stat.h>

namespace {

QString portName(const QString &port)
{
    const int number = parsePortNumber(port).value_or(0);
    return number > 0 ? QStringLiteral("COM%1").arg(number) : QFileInfo(port).fileName();
}

// Where a path leads: its device and inode when it exists, else the folder
// it is in with links resolved, plus its name (a link that leads nowhere yet,
// by where it leads).
QString pathIdentity(const QString &path, int linksLeft = 40)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) == 0)
        return QStringLiteral("inode %1 %2").arg(info.st_dev).arg(info.st_ino);
    const QFileInfo file(path);
    if (file.isSymLink() && linksLeft > 0)
        return pathIdentity(file.symLinkTarget(), linksLeft - 1);
    const QString folder = QFileInfo(file.absolutePath()).canonicalFilePath();
    return (folder.isEmpty() ? QDir::cleanPath(file.absolutePath()) : folder) + QLatin1Char('/') + file.fileName();
}

// One key for every name of a port: "3", "COM 3", "com3", and a device path
// or link that leads to the same device. A network port has a key for each
// address its host resolves to.
QStringList portKeys(const QString &port)
{
    QString ignored;
    if (const std::optional<NetworkPort> network = isNetworkPortName(port) ? parseNetworkPort(port, &ignored) : std::nullopt)
        return networkPortKeys(*network);
    const int number = parsePortNumber(port).value_or(0);
    const QString device = number > 0 ? comPortDevice(number, defaultPortsDirectory()) : port;
    return {device.isEmpty() ? QStringLiteral("COM%1").arg(number) : pathIdentity(device)};
}

// Two outputs are one file when they lead to one, through links or not.
QString fileKey(const QString &file) { return file == QLatin1String("-") ? file : pathIdentity(file); }

}  // namespace

QString expandOutputPattern(const QString &pattern, const QString &port)
{
    QString file = pattern;
    return file.replace(QLatin1String(kPortPlaceholder), portName(port));
}

QString unitListProblem(const QList<UnitTarget> &units, bool read)
{
    QHash<QString, QString> ports, files;
    for (const UnitTarget &unit : units) {
        for (const QString &port : portKeys(unit.port)) {
            if (ports.contains(port))
                return QStringLiteral("the port \"%1\" is given twice (as \"%2\")").arg(ports[port], unit.port);
            ports.insert(port, unit.port);
        }
        if (!read)
            continue;
        const QString file = fileKey(unit.file);
        if (files.contains(file))
            return QStringLiteral("\"%1\" and \"%2\" would both be read into %3").arg(files[file], unit.port, unit.file);
        files.insert(file, unit.port);
    }
    return {};
}
