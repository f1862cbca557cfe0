#pragma once

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>

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
    bool close(QString *error);
    bool isOpen() const { return cm.isOpen(); }
    QString deviceFor(int portNumber) const;
    QString portsDirectory() const { return portsDirectory_; }

    // One transaction: the receive buffer is emptied, CommandFrame goes out
    // as it is, then the caller's event loop runs for one tick of
    // tmrTout, 200 ms, and everything received by then becomes ReplyData.
    // With the port closed it returns at once and leaves ReplyData alone.
    void SendReceive();

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
    void tmrTout_Tick();
    void onPortError(QSerialPort::SerialPortError error);
    void drainOperatingSystemBuffer();

    QSerialPort cm;
    QTimer tmrTout;
    QString portsDirectory_;
    QString portLabel_;
    QString lineLoss_;
    QEventLoop *waitLoop_ = nullptr;
};
