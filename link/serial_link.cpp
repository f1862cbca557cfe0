#include "link/serial_link.h"

#include "link/com_port.h"
#include "link/port_access.h"
#include "link/port_lock.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#ifndef Q_OS_WIN
#include <sys/file.h>
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

// Another program holds the device's lock, or a lock file that names it.
QString inUseText() { return SerialLink::tr("The device is in use by another program"); }

}  // namespace

SerialLink::SerialLink(const QString &portsDirectory, QObject *parent)
    : QObject(parent), cm(this), tmrTout(this), quietAfterReply_(this), stopPoll_(this), portsDirectory_(portsDirectory)
{
    // Children by name, so that a diagnosis (or a test) can look at the port.
    cm.setObjectName("cm");
    tmrTout.setObjectName("tmrTout");
    // A coarse timer may fire early; the window must last the full 200 ms.
    tmrTout.setTimerType(Qt::PreciseTimer);
    tmrTout.setInterval(replyWindowMs());
    connect(&tmrTout, &QTimer::timeout, this, &SerialLink::tmrTout_Tick);
    connect(&cm, &QSerialPort::errorOccurred, this, &SerialLink::onPortError);
    quietAfterReply_.setTimerType(Qt::PreciseTimer);
    quietAfterReply_.setSingleShot(true);
    quietAfterReply_.setInterval(kWholeReplyQuietMs);
    connect(&quietAfterReply_, &QTimer::timeout, this, &SerialLink::endOnQuietLine);
    connect(&cm, &QSerialPort::readyRead, this, &SerialLink::checkWholeReply);
    stopPoll_.setInterval(kStopPollMs);
    connect(&stopPoll_, &QTimer::timeout, this, &SerialLink::pollStopCheck);
}

SerialLink::~SerialLink()
{
    abortWait();
    if (line_->isOpen())
        line_->close();
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
    useSerialPort();
    portLabel_ = label;
    // Opened by its real name, so every name of one device (a COM link, the
    // device path, two links) takes the same lock file.
    const QString canonical = QFileInfo(device).canonicalFilePath();
    const QString realName = canonical.isEmpty() ? device : canonical;
    cm.setPortName(realName);
    cm.setBaudRate(QSerialPort::Baud9600);
    cm.setDataBits(QSerialPort::Data8);
    cm.setParity(QSerialPort::NoParity);
    cm.setStopBits(QSerialPort::OneStop);
    cm.setFlowControl(QSerialPort::NoFlowControl);
    cm.setReadBufferSize(1024);
    const QString notSerial = tr("%1: this is not a serial port. Choose the device of the serial adapter, such as "
                                 "/dev/ttyUSB0.").arg(portLabel_);
    if (isTerminalWithoutLine(device)) {
        *error = notSerial;
        return false;
    }
    // A lock file that a dead program left, or one naming no process, would
    // keep every user from the port for good: it goes, when this user may remove it.
    const QString lockFile = portLockFilePath(realName);
    bool opened = cm.open(QIODevice::ReadWrite);
    if (!opened && cm.error() == QSerialPort::PermissionError && removeStaleLockFile(lockFile))
        opened = cm.open(QIODevice::ReadWrite);
    if (!opened) {
        // A file, a pipe or another device refuses the line settings with a
        // text that explains nothing ("Inappropriate ioctl for device").
        *error = cm.errorString() == systemText(ENOTTY) ? notSerial : QStringLiteral("%1: %2").arg(portLabel_, cm.errorString());
        if (const QString hinted = withPermissionHint(*error, device, cm.error()); hinted != *error)
            *error = hinted;
        else if (const QString lock = cm.error() == QSerialPort::PermissionError ? lockFileObstacle(lockFile) : QString();
                 !lock.isEmpty())
            // Qt says "Permission error while locking the device" for any lock
            // file; one that names a running program means the port is in use.
            *error = (lockFileNamesRunningProcess(lockFile) ? QStringLiteral("%1: %2").arg(portLabel_, inUseText()) : *error)
                     + QStringLiteral(". ") + lock;
        return false;
    }
    if (lineSpeedUp() > 1 && !realName.startsWith(QLatin1String("/dev/pts/"))) {
        cm.close();
        *error = tr("%1: this build runs the line %2 times faster, for the modem simulator only; a real modem "
                    "needs the whole reply window.").arg(portLabel_).arg(lineSpeedUp());
        return false;
    }
    if (!lockDevice()) {
        cm.close();
        *error = QStringLiteral("%1: %2").arg(portLabel_, inUseText());
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
    if (!line_->isOpen()) {
        // Closing a closed port is what QSerialPort reports as its own error.
        *error = tr("The port is not open.");
        return false;
    }
    line_->close();
    return true;
}

QString SerialLink::takeLineLoss()
{
    QString loss;
    loss.swap(lineLoss_);
    return loss;
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
    line_->close();
    lineLoss_ = reason;
    abortWait();
    QMetaObject::invokeMethod(this, &SerialLink::lineLost, Qt::QueuedConnection);
}
