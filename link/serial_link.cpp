#include "link/serial_link.h"

#include "link/com_port.h"
#include "link/port_access.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#ifndef Q_OS_WIN
#include <sys/file.h>
#include <sys/ioctl.h>
#endif

namespace {

QString systemText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// What a hang-up or a pulled adapter leaves in the port's error text: the
// errno of whichever call noticed first, which tells the operator nothing
// the message does not already say.
bool saysNothingOfALoss(const QString &reason)
{
    return reason.isEmpty() || reason == systemText(ENOTTY) || reason == systemText(EAGAIN) || reason == systemText(EIO)
           || reason == QLatin1String("Unknown error");
}

}  // namespace

SerialLink::SerialLink(const QString &portsDirectory, QObject *parent)
    : QObject(parent), cm(this), tmrTout(this), quietAfterReply_(this), portsDirectory_(portsDirectory)
{
    // Children by name, so that a diagnosis (or a test) can look at the port.
    cm.setObjectName("cm");
    tmrTout.setObjectName("tmrTout");
    // A coarse timer may fire early; the window must last the full 200 ms.
    tmrTout.setTimerType(Qt::PreciseTimer);
    tmrTout.setInterval(200);
    connect(&tmrTout, &QTimer::timeout, this, &SerialLink::tmrTout_Tick);
    connect(&cm, &QSerialPort::errorOccurred, this, &SerialLink::onPortError);
    quietAfterReply_.setTimerType(Qt::PreciseTimer);
    quietAfterReply_.setSingleShot(true);
    quietAfterReply_.setInterval(kWholeReplyQuietMs);
    connect(&quietAfterReply_, &QTimer::timeout, this, &SerialLink::endOnQuietLine);
    connect(&cm, &QSerialPort::readyRead, this, &SerialLink::checkWholeReply);
}

SerialLink::~SerialLink()
{
    abortWait();
    if (cm.isOpen())
        cm.close();
}

QString SerialLink::deviceFor(int portNumber) const { return comPortDevice(portNumber, portsDirectory_); }

bool SerialLink::open(int portNumber, QString *error)
{
    if (portNumber < kFirstComPort || portNumber > kLastComPort) {
        *error = tr("No COM port is selected. Choose one of COM %1 to COM %2 from the list.")
                     .arg(kFirstComPort).arg(kLastComPort);
        return false;
    }
    const QString device = deviceFor(portNumber);
    if (device.isEmpty()) {
        *error = tr("COM %1: no serial device on this machine takes this number. Plug the adapter in, or "
                    "link com%1 in %2 to its device.")
                     .arg(portNumber).arg(QDir::toNativeSeparators(portsDirectory_));
        return false;
    }
    return openDevice(device, QStringLiteral("COM %1 (%2)").arg(portNumber).arg(device), error);
}

bool SerialLink::openDevice(const QString &device, const QString &label, QString *error)
{
    portLabel_ = label;
    // Opened by its real name, so every name of one device (a COM link, the
    // device path, two links) takes the same lock file.
    const QString canonical = QFileInfo(device).canonicalFilePath();
    cm.setPortName(canonical.isEmpty() ? device : canonical);
    cm.setBaudRate(QSerialPort::Baud9600);
    cm.setDataBits(QSerialPort::Data8);
    cm.setParity(QSerialPort::NoParity);
    cm.setStopBits(QSerialPort::OneStop);
    cm.setFlowControl(QSerialPort::NoFlowControl);
    cm.setReadBufferSize(1024);
    if (!cm.open(QIODevice::ReadWrite)) {
        // A file, a pipe or another device refuses the line settings with a
        // text that explains nothing ("Inappropriate ioctl for device").
        *error = cm.errorString() == systemText(ENOTTY)
                     ? tr("%1: this is not a serial port. Choose the device of the serial adapter, such as "
                          "/dev/ttyUSB0.").arg(portLabel_)
                     : QStringLiteral("%1: %2").arg(portLabel_, cm.errorString());
        *error = withPermissionHint(*error, device, cm.error());
        return false;
    }
    if (!lockDevice()) {
        cm.close();
        *error = QStringLiteral("%1: %2").arg(portLabel_, tr("Permission error while locking the device"));
        return false;
    }
    lineLoss_.clear();
    return true;
}

// A lock file does not stop a program that names the device differently or
// ignores lock files, and the port's exclusive mode does not stop root; a
// lock on the device itself stops every second opener that asks for it.
bool SerialLink::lockDevice()
{
#ifdef Q_OS_WIN
    return true;
#else
    return ::flock(int(cm.handle()), LOCK_EX | LOCK_NB) == 0;
#endif
}

bool SerialLink::close(QString *error)
{
    if (!cm.isOpen()) {
        // Closing a closed port is what QSerialPort reports as its own error.
        *error = tr("The port is not open.");
        return false;
    }
    cm.close();
    return true;
}

Exchange SerialLink::transact(const QByteArray &frame, std::optional<protocol::ReplyShape> expected)
{
    CommandFrame = frame;
    Exchange exchange;
    if (endOnWholeReply_)
        awaited_ = expected;
    const bool ran = runTransaction(&exchange.sent);
    awaited_.reset();
    if (!ran)
        return exchange;
    exchange.reply = ReplyData;
    if (expected && !protocol::fits(exchange.reply, *expected))
        settleLine();
    return exchange;
}

void SerialLink::SendReceive() { runTransaction(nullptr); }

bool SerialLink::runTransaction(bool *sent)
{
    if (!cm.isOpen() || waitLoop_)
        return false;
    // Bytes still waiting belong to an earlier transaction (a reply that came
    // after its window closed, noise on the line) and are never part of this
    // reply: left in, they would spoil this one and, taken late, the next.
    cm.clear(QSerialPort::Input);
    unsentAtLoss_ = CommandFrame.size();  // until a loss counts what was left
    cm.write(CommandFrame);
    const bool completed = waitOneWindow();
    // A frame not wholly out when its window ends never reached the modem;
    // its rest must not trail into the next command.
    const bool allSent = cm.isOpen() ? bytesNotSent() == 0 : unsentAtLoss_ == 0;
    if (sent)
        *sent = allSent;
    if (!completed)
        return false;
    if (!allSent)
        cm.clear(QSerialPort::Output);
    drainOperatingSystemBuffer();
    ReplyData = cm.readAll();
    return true;
}

// Sleeps in an event loop for one tick of tmrTout: the window repaints and
// the port delivers its bytes, and no CPU is spent polling. False when the
// wait was cut short or the port closed meanwhile.
bool SerialLink::waitOneWindow()
{
    TimedOut = false;
    wholeReplyIn_ = false;
    tmrTout.start();
    QEventLoop wait;
    waitLoop_ = &wait;
    while (!TimedOut && !wholeReplyIn_ && waitLoop_)
        wait.exec();
    const bool completed = waitLoop_ != nullptr;
    waitLoop_ = nullptr;
    tmrTout.stop();
    quietAfterReply_.stop();
    return completed && cm.isOpen();
}

void SerialLink::settleLine()
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < kSettleLimitMs) {
        if (!waitOneWindow())
            return;
        drainOperatingSystemBuffer();
        if (cm.readAll().isEmpty())
            return;
    }
    giveUpLine(tr("The line on %1 did not go quiet: the device kept sending for %2 seconds after a reply that was "
                  "not the one asked for. The port was closed; check the baud rate and the cable, then Connect again.")
                   .arg(portLabel_)
                   .arg(kSettleLimitMs / 1000));
}

// Bytes of the frame still in the port or in the system's output queue.
qint64 SerialLink::bytesNotSent() const
{
    qint64 pending = cm.bytesToWrite();
#ifndef Q_OS_WIN
    int queued = 0;
    if (::ioctl(int(cm.handle()), TIOCOUTQ, &queued) == 0)
        pending += queued;
#endif
    return pending;
}

void SerialLink::abortWait()
{
    if (waitLoop_) {
        waitLoop_->quit();
        waitLoop_ = nullptr;
    }
}

QString SerialLink::takeLineLoss()
{
    QString loss;
    loss.swap(lineLoss_);
    return loss;
}

void SerialLink::tmrTout_Tick()
{
    TimedOut = true;
    tmrTout.stop();
    if (waitLoop_)
        waitLoop_->quit();
}

// The bytes received so far are exactly the awaited reply. One byte more
// and they no longer fit, so the prefix of a longer answer is never taken.
bool SerialLink::holdsWholeReply()
{
    return awaited_ && waitLoop_ && protocol::fits(cm.peek(awaited_->length + 1), *awaited_);
}

void SerialLink::checkWholeReply()
{
    if (!holdsWholeReply())
        quietAfterReply_.stop();
    else if (!quietAfterReply_.isActive())
        quietAfterReply_.start();
}

void SerialLink::endOnQuietLine()
{
    drainOperatingSystemBuffer();
    if (!holdsWholeReply())
        return;
    wholeReplyIn_ = true;
    waitLoop_->quit();
}

// Bytes that reached the operating system but not yet QSerialPort's buffer
// belong to this reply too.
void SerialLink::drainOperatingSystemBuffer()
{
    while (cm.isOpen() && cm.bytesAvailable() < cm.readBufferSize() && cm.waitForReadyRead(0)) {
    }
}

void SerialLink::onPortError(QSerialPort::SerialPortError error)
{
    // Open failures are reported by open(); a poll without data reports
    // TimeoutError; neither means the line is gone.
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError
        || error == QSerialPort::NotOpenError || !cm.isOpen())
        return;
    // A hang-up makes QSerialPort raise ReadError over and over while the
    // port stays open; closing on the first one stops the flood.
    QString loss = tr("The connection on %1 was lost: the adapter was removed or the line hung up.").arg(portLabel_);
    if (const QString reason = cm.errorString(); !saysNothingOfALoss(reason))
        loss += QLatin1Char(' ') + tr("The system reports: %1.").arg(reason);
    giveUpLine(loss);
}

// Closes the port, ends any wait and reports the loss once.
void SerialLink::giveUpLine(const QString &reason)
{
    unsentAtLoss_ = bytesNotSent();
    cm.close();
    lineLoss_ = reason;
    abortWait();
    QMetaObject::invokeMethod(this, &SerialLink::lineLost, Qt::QueuedConnection);
}
