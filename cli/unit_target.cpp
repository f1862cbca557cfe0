#include "cli/unit_target.h"

#include "link/com_port.h"
#include "model/limit_texts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include <sys/stat.h>

namespace {

// The COM number typed, or 0 for a device path; nullopt when it is neither.
std::optional<int> comNumber(const QString &name)
{
    if (name.contains(QLatin1Char('/')))
        return 0;
    static const QRegularExpression typedNumber(QStringLiteral("^(?:COM ?)?([0-9]{1,3})$"),
                                                QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = typedNumber.match(name);
    if (!match.hasMatch())
        return std::nullopt;
    const int number = match.captured(1).toInt();
    if (number < kFirstComPort || number > kLastComPort)
        return std::nullopt;
    return number;
}

QString portName(const UnitPort &port)
{
    return port.comNumber > 0 ? QStringLiteral("COM%1").arg(port.comNumber) : QFileInfo(port.name).fileName();
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
QStringList portKeys(const UnitPort &port)
{
    if (port.network)
        return networkPortKeys(*port.network);
    const QString device = port.comNumber > 0 ? comPortDevice(port.comNumber, defaultPortsDirectory()) : port.name;
    return {device.isEmpty() ? QStringLiteral("COM%1").arg(port.comNumber) : pathIdentity(device)};
}

// Two outputs are one file when they lead to one, through links or not.
QString fileKey(const QString &file) { return file == QLatin1String("-") ? file : pathIdentity(file); }

}  // namespace

std::optional<UnitPort> parseUnitPort(const QString &name, QString *error)
{
    if (isNetworkPortName(name)) {
        const std::optional<NetworkPort> network = parseNetworkPort(name, error);
        return network ? std::optional(UnitPort{name, 0, std::make_shared<const NetworkPort>(*network)}) : std::nullopt;
    }
    const std::optional<int> number = comNumber(name);
    if (!number) {
        *error = QStringLiteral("\"%1\" is neither a COM number %2 nor a device path").arg(name, comPortRange());
        return std::nullopt;
    }
    return UnitPort{name, *number, nullptr};
}

QString expandOutputPattern(const QString &pattern, const UnitPort &port)
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
                return QStringLiteral("the port \"%1\" is given twice (as \"%2\")").arg(ports[port], unit.port.name);
            ports.insert(port, unit.port.name);
        }
        if (!read)
            continue;
        const QString file = fileKey(unit.file);
        if (files.contains(file))
            return QStringLiteral("\"%1\" and \"%2\" would both be read into %3").arg(files[file], unit.port.name, unit.file);
        files.insert(file, unit.port.name);
    }
    return {};
}
