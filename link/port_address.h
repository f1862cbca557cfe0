#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// A modem behind a serial-to-network server: tcp://HOST:PORT is a raw TCP
// stream to the server's serial port, rfc2217://HOST:PORT a Telnet stream
// that also sets the server's line (RFC 2217). HOST is a name, an IPv4
// address or an IPv6 address in brackets ([::1]).
struct NetworkPort {
    enum Kind { Raw, Rfc2217 };
    Kind kind = Raw;
    QString host;  // without the brackets of an IPv6 address
    quint16 port = 0;
    QString name;  // as the operator typed it, for messages
};

// The name starts with one of the two schemes (in any case): it is meant
// as a network port, right or wrong.
bool isNetworkPortName(const QString &name);

// The parts of a network port name; nullopt and the reason in *error when
// the name holds anything else (a path, a user, a missing or wrong port).
std::optional<NetworkPort> parseNetworkPort(const QString &name, QString *error);

// The addresses the name resolves to, each as "address port", so that two
// names of one server port share a key; the host as written when it does
// not resolve.
QStringList networkPortKeys(const NetworkPort &port);
