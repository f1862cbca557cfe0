#pragma once

#include <QByteArray>
#include <QMap>
#include <QSet>

// The Telnet side of an RFC 2217 stream: data bytes apart from option
// negotiation, 0xFF doubled on the way out, and the server's COM-port
// answers collected.
class TelnetCodec {
public:
    TelnetCodec();
    // What the link asks for at the start: binary both ways (no line-end
    // translation), no go-ahead, the COM-port option, and the line settings
    // 9600 baud, 8 data bits, no parity, 1 stop bit, no flow control.
    static QByteArray opening();
    // The answers opening() asks for, by the server's reply code: each is
    // the value the server now uses.
    static QMap<int, QByteArray> wantedSettings();

    // Asks for the baud rate in use without changing it (answered as 101):
    // a round trip that does not wait on the server's serial device.
    static QByteArray baudQuery();
    static constexpr int kBaudReply = 101;

    static QByteArray escape(const QByteArray &data);

    // Takes bytes from the server (in any pieces) and returns its data bytes;
    // the client's answers to the server's option requests go into *answer.
    QByteArray decode(const QByteArray &bytes, QByteArray *answer);

    // The COM-port answers received so far, by reply code (101 to 112).
    const QMap<int, QByteArray> &comPortReplies() const { return replies_; }
    void forgetReply(int code) { replies_.remove(code); }

private:
    enum State { Data, Command, Option, Sub, SubCommand };
    void negotiate(quint8 verb, quint8 option, QByteArray *answer);

    State state_ = Data;
    quint8 verb_ = 0;
    QByteArray sub_;
    QMap<int, QByteArray> replies_;
    // Options this side has agreed to (kWill * 256 + option, kDo * 256 + option),
    // by opening() or by an answer.
    QSet<int> agreed_;
};
