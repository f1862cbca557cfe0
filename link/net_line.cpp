#include "link/net_line.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTimer>

#include <cmath>

#ifdef Q_OS_LINUX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

NetLine::NetLine(QObject *parent) : QIODevice(parent), socket_(this)
{
    connect(&socket_, &QTcpSocket::readyRead, this, &NetLine::takeIncoming);
    connect(&socket_, &QTcpSocket::errorOccurred, this, &NetLine::onSocketError);
}

NetLine::~NetLine() { socket_.abort(); }

// Runs the event loop until `done`, the limit, a stop, or the socket's end.
bool NetLine::waitUntil(const std::function<bool()> &done, int limitMs, const std::function<bool()> &stop)
{
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(kStopPollMs);
    connect(&poll, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(&socket_, &QTcpSocket::readyRead, &loop, &QEventLoop::quit);
    connect(&socket_, &QTcpSocket::stateChanged, &loop, &QEventLoop::quit);
    poll.start();
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < limitMs && !(stop && stop()))
        loop.exec();
    return done();
}

bool NetLine::connectTo(const NetworkPort &port, const std::function<bool()> &stop, QString *error)
{
    port_ = port;
    // Failures while connecting are reported by the return value, not as a loss.
    connecting_ = true;
    const auto done = qScopeGuard([this] { connecting_ = false; });
    incoming_.clear();
    heard_.clear();
    telnet_.reset();
    const auto stopped = [&] {
        *error = tr("%1: the connection was not made: stopped.").arg(port.name);
        return false;
    };

    QHostAddress address(port.host);
    if (address.isNull()) {
        std::optional<QHostInfo> found;
        const int lookup = QHostInfo::lookupHost(port.host, this, [&](const QHostInfo &info) { found = info; });
        if (!waitUntil([&] { return found.has_value(); }, kResolveLimitMs, stop)) {
            QHostInfo::abortHostLookup(lookup);
            if (stop && stop())
                return stopped();
            *error = tr("%1: the name \"%2\" did not resolve within %3 seconds; check the name and the network.")
                         .arg(port.name, port.host).arg(kResolveLimitMs / 1000);
            return false;
        }
        if (found->addresses().isEmpty()) {
            *error = tr("%1: the name \"%2\" does not resolve to an address (%3); check the name.")
                         .arg(port.name, port.host, found->errorString());
            return false;
        }
        address = found->addresses().constFirst();
    }

    QElapsedTimer clock;
    clock.start();
    socket_.connectToHost(address, port.port);
    const bool connected =
        waitUntil([&] { return socket_.state() == QAbstractSocket::ConnectedState
                               || socket_.state() == QAbstractSocket::UnconnectedState; },
                  kConnectLimitMs, stop)
        && socket_.state() == QAbstractSocket::ConnectedState;
    if (!connected) {
        const QAbstractSocket::SocketError failure = socket_.error();
        const QString reason = socket_.errorString();
        const bool timedOut = socket_.state() != QAbstractSocket::UnconnectedState;
        socket_.abort();
        if (stop && stop())
            return stopped();
        if (timedOut)
            *error = tr("%1: no answer from %2 within %3 seconds: the host is down, or a firewall drops the "
                        "connection.").arg(port.name, address.toString()).arg(kConnectLimitMs / 1000);
        else if (failure == QAbstractSocket::ConnectionRefusedError)
            *error = tr("%1: the connection was refused: nothing serves port %2 on %3 (is the serial server "
                        "running, and is this its port?).").arg(port.name).arg(port.port).arg(address.toString());
        else
            *error = tr("%1: the connection failed: %2.").arg(port.name, reason);
        return false;
    }
    roundTripMs_ = int(std::ceil(double(clock.nsecsElapsed()) / 1e6));
    socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    setKeepAlive();
    QIODevice::open(QIODevice::ReadWrite);
    if (port.kind == NetworkPort::Rfc2217 && !negotiate(stop, error))
        return false;
    if (!watchForRefusal(stop, error))
        return false;
    // What came with the negotiation is line data like any other.
    incoming_.prepend(heard_);
    heard_.clear();
    return true;
}

// Sends the settings and waits until the server confirms each one as asked.
bool NetLine::negotiate(const std::function<bool()> &stop, QString *error)
{
    telnet_.emplace();
    socket_.write(TelnetCodec::opening());
    socket_.flush();
    const QMap<int, QByteArray> wanted = TelnetCodec::wantedSettings();
    const auto answered = [&] {
        for (auto it = wanted.cbegin(); it != wanted.cend(); ++it)
            if (!telnet_->comPortReplies().contains(it.key()))
                return false;
        return true;
    };
    const auto unanswered = [&] {
        if (stop && stop())
            *error = tr("%1: the connection was not made: stopped.").arg(port_.name);
        else if (socket_.state() != QAbstractSocket::ConnectedState)
            *error = closedText();
        else
            *error = tr("%1: the server accepted the connection but did not answer the RFC 2217 line settings within "
                        "%2 seconds: it may serve this port raw (try tcp://) or not be a serial server.")
                         .arg(port_.name).arg(kNegotiationLimitMs / 1000);
        close();
        return false;
    };
    const auto connected = [&] { return socket_.state() == QAbstractSocket::ConnectedState; };
    if (!waitUntil([&] { return answered() || !connected(); }, kNegotiationLimitMs, stop) || !answered())
        return unanswered();
    QStringList differing;
    const QStringList names{tr("9600 baud"), tr("8 data bits"), tr("no parity"), tr("1 stop bit"), tr("no flow control")};
    int at = 0;
    for (auto it = wanted.cbegin(); it != wanted.cend(); ++it, ++at)
        if (telnet_->comPortReplies().value(it.key()) != it.value())
            differing.append(names[at]);
    if (!differing.isEmpty()) {
        *error = tr("%1: the server did not confirm %2 on its serial port, so nothing was sent to the modem; check "
                    "the server's settings for that port.").arg(port_.name, differing.join(QStringLiteral(", ")));
        close();
        return false;
    }
    // The settings' answer waited on the server opening and setting its
    // device; a question about the baud rate measures the path alone,
    // tunnels and relays included, which a TCP connection may not.
    telnet_->forgetReply(TelnetCodec::kBaudReply);
    QElapsedTimer clock;
    clock.start();
    socket_.write(TelnetCodec::baudQuery());
    socket_.flush();
    const auto baudIn = [&] { return telnet_->comPortReplies().contains(TelnetCodec::kBaudReply); };
    if (!waitUntil([&] { return baudIn() || !connected(); }, kNegotiationLimitMs, stop) || !baudIn())
        return unanswered();
    roundTripMs_ = int(std::ceil(double(clock.nsecsElapsed()) / 1e6));
    return true;
}

// A server busy with another client takes the connection and closes it at once.
bool NetLine::watchForRefusal(const std::function<bool()> &stop, QString *error)
{
    waitUntil([&] { return socket_.state() != QAbstractSocket::ConnectedState; },
              std::max(kRefusalWatchMs, 2 * roundTripMs_), stop);
    if (socket_.state() == QAbstractSocket::ConnectedState)
        return true;
    *error = closedText();
    close();
    return false;
}

QString NetLine::closedText() const
{
    QString said = QString::fromLatin1(heard_ + incoming_).simplified();
    said.remove(QRegularExpression(QStringLiteral("[^ -~]")));
    if (said.isEmpty())
        return tr("%1: the server closed the connection at once: it serves one client at a time, and another one "
                  "may be connected. Close the other program, then connect again.").arg(port_.name);
    return tr("%1: the server closed the connection at once, saying \"%2\": another client is using this port. Close "
              "the other program, then connect again.").arg(port_.name, said.left(80));
}

void NetLine::setKeepAlive()
{
    socket_.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
#ifdef Q_OS_LINUX
    const int fd = int(socket_.socketDescriptor());
    const int idle = kKeepAliveIdleS, interval = kKeepAliveIntervalS, probes = kKeepAliveProbes,
              unacknowledged = kUnacknowledgedLimitMs;
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
    ::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &unacknowledged, sizeof unacknowledged);
#endif
}

void NetLine::takeIncoming()
{
    const QByteArray raw = socket_.readAll();
    if (raw.isEmpty())
        return;
    QByteArray answer;
    const QByteArray data = telnet_ ? telnet_->decode(raw, &answer) : raw;
    if (!answer.isEmpty())
        socket_.write(answer);
    if (data.isEmpty())
        return;
    if (!isOpen()) {
        heard_ += data;
        return;
    }
    incoming_ += data;
    emit readyRead();
}

qint64 NetLine::bytesAvailable() const { return incoming_.size() + QIODevice::bytesAvailable(); }

qint64 NetLine::bytesToWrite() const { return socket_.bytesToWrite(); }

bool NetLine::waitForReadyRead(int msecs)
{
    const qint64 before = incoming_.size();
    if (socket_.bytesAvailable() > 0 || socket_.waitForReadyRead(msecs))
        takeIncoming();
    return incoming_.size() > before;
}

void NetLine::close()
{
    QIODevice::close();
    socket_.abort();
    incoming_.clear();
}

qint64 NetLine::readData(char *data, qint64 maxSize)
{
    const qint64 n = std::min<qint64>(maxSize, incoming_.size());
    std::copy_n(incoming_.constData(), n, data);
    incoming_.remove(0, n);
    return n;
}

qint64 NetLine::writeData(const char *data, qint64 size)
{
    const QByteArray bytes(data, size);
    if (socket_.write(telnet_ ? TelnetCodec::escape(bytes) : bytes) < 0)
        return -1;
    socket_.flush();
    return size;
}

void NetLine::onSocketError(QAbstractSocket::SocketError error)
{
    // A look at the socket that finds nothing (waitForReadyRead(0)) reports a timeout.
    if (connecting_ || !isOpen() || error == QAbstractSocket::SocketTimeoutError)
        return;
    QString what;
    switch (error) {
    case QAbstractSocket::RemoteHostClosedError:
        what = tr("the server closed the connection");
        break;
    case QAbstractSocket::NetworkError:
        what = tr("the server stopped answering (no reply within %1 seconds: the network or the server went away)")
                   .arg(kUnacknowledgedLimitMs / 1000);
        break;
    default:
        what = socket_.errorString();
        break;
    }
    const QString reason = tr("The connection to %1 was lost: %2.").arg(port_.name, what);
    QIODevice::close();
    socket_.abort();
    emit broken(reason);
}
