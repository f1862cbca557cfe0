#include "link/port_address.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QRegularExpression>

namespace {

const QLatin1String kRawScheme("tcp://"), kTelnetScheme("rfc2217://");

}  // namespace

bool isNetworkPortName(const QString &name)
{
    return name.startsWith(kRawScheme, Qt::CaseInsensitive) || name.startsWith(kTelnetScheme, Qt::CaseInsensitive);
}

std::optional<NetworkPort> parseNetworkPort(const QString &name, QString *error)
{
    NetworkPort port;
    port.name = name;
    const bool raw = name.startsWith(kRawScheme, Qt::CaseInsensitive);
    port.kind = raw ? NetworkPort::Raw : NetworkPort::Rfc2217;
    const QString rest = name.mid(raw ? kRawScheme.size() : kTelnetScheme.size());
    const auto refuse = [&](const QString &reason) {
        *error = QObject::tr("%1: %2; a network port is named tcp://HOST:PORT or rfc2217://HOST:PORT, such as "
                             "tcp://192.168.1.20:4001 or rfc2217://[::1]:4001")
                     .arg(name, reason);
        return std::nullopt;
    };
    static const QRegularExpression shape(QStringLiteral("^(?:\\[([^\\]]*)\\]|([^:\\[\\]]*)):([^:]*)$"));
    const QRegularExpressionMatch match = shape.match(rest);
    if (!match.hasMatch())
        return refuse(rest.contains(QLatin1Char(':')) ? QObject::tr("an IPv6 address needs brackets")
                                                      : QObject::tr("the port number is missing"));
    const bool bracketed = match.capturedStart(1) >= 0;
    port.host = bracketed ? match.captured(1) : match.captured(2);
    if (port.host.isEmpty())
        return refuse(QObject::tr("the host is missing"));
    if (bracketed && QHostAddress(port.host).protocol() != QAbstractSocket::IPv6Protocol)
        return refuse(QObject::tr("\"%1\" is not an IPv6 address").arg(port.host));
    static const QRegularExpression hostName(QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9.-]*[A-Za-z0-9])?$"));
    if (!bracketed && !hostName.match(port.host).hasMatch())
        return refuse(QObject::tr("\"%1\" is not a host name (letters, digits, hyphens and dots)").arg(port.host));
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
    const QString number = match.captured(3);
    if (!digits.match(number).hasMatch() || number.toInt() < 1 || number.toInt() > 65535)
        return refuse(QObject::tr("\"%1\" is not a port number from 1 to 65535").arg(number));
    port.port = quint16(number.toInt());
    return port;
}

QStringList networkPortKeys(const NetworkPort &port)
{
    QStringList keys;
    const QHostAddress literal(port.host);
    const QList<QHostAddress> addresses = literal.isNull() ? QHostInfo::fromName(port.host).addresses()
                                                           : QList<QHostAddress>{literal};
    for (const QHostAddress &address : addresses)
        keys.append(QStringLiteral("net %1 %2").arg(address.toString()).arg(port.port));
    keys.removeDuplicates();
    if (keys.isEmpty())
        keys.append(QStringLiteral("net %1 %2").arg(port.host.toLower()).arg(port.port));
    return keys;
}
