#pragma once

#include "link/port_address.h"
#include "link/telnet_codec.h"

#include <QIODevice>
#include <QTcpSocket>

#include <functional>
#include <optional>

// The line to a modem behind a serial-to-network server, read and written
// as the serial port is: data bytes only (Telnet negotiation taken out for
// rfc2217://), so the one transaction code serves both.
class NetLine : public QIODevice {
    Q_OBJECT
public:
    explicit NetLine(QObject *parent = nullptr);
    ~NetLine() override;

    // Resolves, connects and (rfc2217://) sets the server's line. Each step
    // has its bound; `stop` is asked every kStopPollMs and ends the attempt.
    // False with the operator-facing reason in *error.
    bool connectTo(const NetworkPort &port, const std::function<bool()> &stop, QString *error);
    // The time the connection (rfc2217://: a question to the server once the
    // line is set) took to answer: the delay the network adds to each reply.
    int roundTripMs() const { return roundTripMs_; }

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;
    // Bytes not yet handed to the network.
    qint64 bytesToWrite() const override;
    bool waitForReadyRead(int msecs) override;
    void close() override;

    static constexpr int kResolveLimitMs = 5000;
    static constexpr int kConnectLimitMs = 5000;
    static constexpr int kNegotiationLimitMs = 3000;
    // A server that takes the connection and closes it at once serves another
    // client; it is watched this long (at least) after connecting.
    static constexpr int kRefusalWatchMs = 50;
    // A connection whose far end went away without a word: TCP keep-alive
    // probes after this idle time, and sent data unacknowledged this long,
    // end it.
    static constexpr int kKeepAliveIdleS = 5, kKeepAliveIntervalS = 2, kKeepAliveProbes = 3;
    static constexpr int kUnacknowledgedLimitMs = 10000;
    static constexpr int kStopPollMs = 20;

signals:
    // The connection failed while open; the reason names the address.
    void broken(const QString &reason);

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    bool waitUntil(const std::function<bool()> &done, int limitMs, const std::function<bool()> &stop);
    bool negotiate(const std::function<bool()> &stop, QString *error);
    bool watchForRefusal(const std::function<bool()> &stop, QString *error);
    QString closedText() const;
    void takeIncoming();
    void onSocketError(QAbstractSocket::SocketError error);
    void setKeepAlive();

    QTcpSocket socket_;
    std::optional<TelnetCodec> telnet_;
    NetworkPort port_;
    QByteArray incoming_;
    QByteArray heard_;  // everything the server sent before the line was ready
    bool connecting_ = false;
    int roundTripMs_ = 0;
};
