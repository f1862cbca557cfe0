#pragma once

#include "link/device_protocol.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>

#include <optional>

class QEventLoop;

// What one transaction gave back.
struct Exchange {
    // Every byte of the command left the port (within its window, or before
    // the line was lost or the wait cut short). False when nothing was sent.
    bool sent = false;
    // Everything received within the window; empty when nothing arrived.
    QByteArray reply;
};

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
    bool close(QString *error);
    bool isOpen() const { return cm.isOpen(); }
    QString deviceFor(int portNumber) const;
    // How the port is named in messages: "COM 3 (/dev/ttyS2)" or the path.
    QString label() const { return portLabel_; }
    QString portsDirectory() const { return portsDirectory_; }

    // One transaction, the call every device command goes through: the
    // receive buffer is emptied, the frame goes out as it is, then the
    // caller's event loop runs for one tick of tmrTout, 200 ms, and
    // everything received by then is the reply (and ReplyData); see
    // setEndOnWholeReply() for a wait that ends sooner.
    // A read command names the reply it expects. When the reply does not fit
    // it, the rest of a late or garbled answer may still be on its way; the
    // link then waits until the line has been quiet for a whole window and
    // throws away what came meanwhile, so that the next command's window
    // holds only its own reply. A line that does not go quiet within
    // kSettleLimitMs is given up like a lost one.
    Exchange transact(const QByteArray &frame, std::optional<protocol::ReplyShape> expected = std::nullopt);

    // The same transaction without a reply check: CommandFrame in,
    // ReplyData out. With the port closed it returns at once and leaves
    // ReplyData alone.
    void SendReceive();

    static constexpr int kSettleLimitMs = 3000;

    // Off (the default), every transaction lasts its whole window. On, a read
    // command's wait ends once a reply that fits is in and the line has been
    // quiet behind it for kWholeReplyQuietMs, long enough to see a reply that
    // runs on beyond its length: that one does not fit, so it waits out the
    // window and the line is settled as always. The window stays the upper
    // bound; a write, which expects no reply, always takes the whole window.
    void setEndOnWholeReply(bool on) { endOnWholeReply_ = on; }
    bool endsOnWholeReply() const { return endOnWholeReply_; }
    static constexpr int kWholeReplyQuietMs = 5;

    // Ends a running wait at once (the window is closing); ReplyData is left as it was.
    void abortWait();
    bool isWaiting() const { return waitLoop_ != nullptr; }

    // Set when the port failed while open (adapter pulled out, line hung up);
    // taking it clears it, so the loss is reported exactly once.
    bool hasLineLoss() const { return !lineLoss_.isEmpty(); }
    QString takeLineLoss();

    QByteArray CommandFrame;
    QByteArray ReplyData;
    bool TimedOut = false;

signals:
    // Emitted (queued) after the port failed and was closed.
    void lineLost();

private:
    bool lockDevice();
    bool runTransaction(bool *sent);
    bool waitOneWindow();
    void settleLine();
    void giveUpLine(const QString &reason);
    qint64 bytesNotSent() const;
    void tmrTout_Tick();
    bool holdsWholeReply();
    void checkWholeReply();
    void endOnQuietLine();
    void onPortError(QSerialPort::SerialPortError error);
    void drainOperatingSystemBuffer();

    QSerialPort cm;
    QTimer tmrTout;
    QTimer quietAfterReply_;
    bool endOnWholeReply_ = false;
    std::optional<protocol::ReplyShape> awaited_;  // while a wait may end on its whole reply
    bool wholeReplyIn_ = false;
    QString portsDirectory_;
    QString portLabel_;
    QString lineLoss_;
    QEventLoop *waitLoop_ = nullptr;
    qint64 unsentAtLoss_ = 0;  // bytes of the frame still in the port when the line was given up
};
