#pragma once

#include "link/device_protocol.h"
#include "link/exchange.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

class NetLine;
struct NetworkPort;
class QEventLoop;

// The one serial port to the modem and the send-and-wait transaction that
// every device command uses.
class SerialLink : public QObject {
    Q_OBJECT
public:
    explicit SerialLink(const QString &portsDirectory, QObject *parent = nullptr);
    ~SerialLink() override;

    // Opens COM port n at 9600 8N1 without flow control. On failure returns
    // false and puts the operator-facing reason into *error.
    bool open(int portNumber, QString *error);
    // Opens a device by its path (a USB adapter, a link to one); the same
    // line settings, errors named by `label`.
    bool openDevice(const QString &device, const QString &label, QString *error);
    // Connects to a modem behind a serial-to-network server, named
    // tcp://HOST:PORT or rfc2217://HOST:PORT; the connection's round trip
    // widens every reply window from then on.
    bool openNetwork(const QString &name, QString *error);
    // The same for a name parsed already.
    bool openNetwork(const NetworkPort &port, QString *error);
    bool isNetwork() const { return net_ != nullptr; }
    // What the network adds to each reply; 0 on a serial port.
    int lineDelayMs() const { return lineDelayMs_; }
    int replyWindowMs() const { return kReplyWindowMs / lineSpeedUp() + lineDelayMs_; }
    bool close(QString *error);
    bool isOpen() const { return line_->isOpen(); }
    QString deviceFor(int portNumber) const;
    // How the port is named in messages: "COM 3 (/dev/ttyS2)" or the path.
    QString label() const { return portLabel_; }
    QString portsDirectory() const { return portsDirectory_; }

    // One transaction, the call every device command goes through. Bytes
    // already waiting are taken out and handed back as strayBefore, and the
    // line must go quiet before the frame goes out (a modem still sending
    // would miss it). Then the caller's event loop runs for one tick of
    // tmrTout, 200 ms, and everything received by then is the reply; see setEndOnWholeReply() for a wait that ends sooner.
    // A read command names the reply it expects. A reply still arriving when
    // the window ends (its first byte right, fewer bytes than expected) is
    // waited for, at most the line time of the missing bytes plus
    // kLateReplyMarginMs, and ends once it is whole and the line has been
    // quiet behind it for kWholeReplyQuietMs. A reply that does not fit is
    // followed by a wait until the line has been quiet for a whole window,
    // and what came meanwhile is thrown away, so that the next command's
    // window holds only its own reply. A line that does not go quiet within
    // kSettleLimitMs is given up like a lost one.
    Exchange transact(const QByteArray &frame, std::optional<protocol::ReplyShape> expected = std::nullopt);

    // After the last command of a run: waits out the rest of its window if
    // the wait ended on the whole reply, then tells whether the line stayed
    // quiet behind that reply. Bytes that came are thrown away and the line
    // is settled; the last reply cannot be trusted then.
    bool quietAfterLastReply();

    // Asked while the link waits for a chatty line to go quiet: true ends
    // that wait within kStopPollMs (Ctrl-C, the window closing), and the
    // transaction then returns as one cut short.
    void setStopCheck(std::function<bool()> check) { stopCheck_ = std::move(check); }

    static constexpr int kReplyWindowMs = protocol::kReplyWindowMs;
    static constexpr int kReadBufferSize = 1024;
    // The test suite runs the modem simulator's line this many times faster
    // than 9600 baud, and the link then waits as many times shorter (the
    // window and the line time of a reply; not the margins for a busy
    // machine): its transfers take a fraction of their time, each rule in
    // proportion. Above 1, only a pseudo-terminal, the simulator's line,
    // opens: a real modem needs the whole window.
    static void setLineSpeedUp(int factor);
    static int lineSpeedUp();
    static constexpr int kSettleLimitMs = 3000;
    static constexpr int kStopPollMs = 20;
    // Covers a USB adapter's latency timer (16 ms by default) and a busy machine.
    static constexpr int kLateReplyMarginMs = 50;

    // Off (the default), every transaction lasts its whole window. On, a read
    // command's wait ends once a reply that fits is in and the line has been
    // quiet behind it for kWholeReplyQuietMs, long enough to see a reply that
    // runs on beyond its length, or a repeat that follows it that soon: that
    // one does not fit, so it waits out the window and the line is settled
    // as always. The window stays the upper bound; a write, which expects no
    // reply, always takes the whole window.
    void setEndOnWholeReply(bool on) { endOnWholeReply_ = on; }
    bool endsOnWholeReply() const { return endOnWholeReply_; }
    static constexpr int kWholeReplyQuietMs = 16;

    // Ends a running wait at once (the window is closing).
    void abortWait();
    bool isWaiting() const { return waitLoop_ != nullptr; }

    // Set when the port failed while open (adapter pulled out, line hung up);
    // taking it clears it, so the loss is reported exactly once.
    bool hasLineLoss() const { return !lineLoss_.isEmpty(); }
    QString takeLineLoss();

    // The command of the transaction under way (or the last one).
    const QByteArray &commandFrame() const { return commandFrame_; }

signals:
    // Emitted (queued) after the port failed and was closed.
    void lineLost();

private:
    bool lockDevice();
    bool runTransaction(Exchange &exchange);
    bool waitFor(int ms, bool endOnWholeReply);
    bool replyStillArriving();
    int restOfReplyMs();
    bool settleLine();
    void pollStopCheck();
    void giveUpLine(const QString &reason);
    qint64 bytesNotSent() const;
    void tmrTout_Tick();
    bool holdsWholeReply();
    void checkWholeReply();
    void endOnQuietLine();
    void onPortError(QSerialPort::SerialPortError error);
    void drainOperatingSystemBuffer();
    void useSerialPort();
    void discardUnsent();

    QByteArray commandFrame_;
    QByteArray replyData_;
    bool timedOut_ = false;
    QSerialPort cm;
    NetLine *net_ = nullptr;  // the network line while one is in use
    QIODevice *line_ = &cm;   // the line transactions go through: cm or *net_
    int lineDelayMs_ = 0;
    QTimer tmrTout;
    QTimer quietAfterReply_;
    QTimer stopPoll_;
    std::function<bool()> stopCheck_;
    bool endOnWholeReply_ = false;
    std::optional<protocol::ReplyShape> awaited_;  // the reply of the read command under way
    bool waitEndsOnWholeReply_ = false;  // the current wait ends once awaited_ is in whole
    bool wholeReplyIn_ = false;
    bool endedEarly_ = false;  // the last command's wait ended on its whole reply, before its window
    QElapsedTimer windowClock_;  // since the last frame went out
    QString portsDirectory_;
    QString portLabel_;
    QString lineLoss_;
    QEventLoop *waitLoop_ = nullptr;
    qint64 unsentAtLoss_ = 0;  // bytes of the frame still in the port when the line was given up
};
