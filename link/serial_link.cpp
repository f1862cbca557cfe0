#include "link/serial_link.h"

#include "link/com_port.h"
#include "link/port_access.h"

#include <QDir>
#include <QEventLoop>

SerialLink::SerialLink(const QString &portsDirectory, QObject *parent)
    : QObject(parent), cm(this), tmrTout(this), portsDirectory_(portsDirectory)
{
    // Children by name, so that a diagnosis (or a test) can look at the port.
    cm.setObjectName("cm");
    tmrTout.setObjectName("tmrTout");
    // A coarse timer may fire early; the window must last the full 200 ms.
    tmrTout.setTimerType(Qt::PreciseTimer);
    tmrTout.setInterval(200);
    connect(&tmrTout, &QTimer::timeout, this, &SerialLink::tmrTout_Tick);
    connect(&cm, &QSerialPort::errorOccurred, this, &SerialLink::onPortError);
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
    cm.setPortName(device);
    cm.setBaudRate(QSerialPort::Baud9600);
    cm.setDataBits(QSerialPort::Data8);
    cm.setParity(QSerialPort::NoParity);
    cm.setStopBits(QSerialPort::OneStop);
    cm.setFlowControl(QSerialPort::NoFlowControl);
    cm.setReadBufferSize(1024);
    if (!cm.open(QIODevice::ReadWrite)) {
        *error = QStringLiteral("%1: %2").arg(portLabel_, cm.errorString());
        if (const QString hint = permissionHint(device, cm.error()); !hint.isEmpty())
            *error += QLatin1Char(' ') + hint;
        return false;
    }
    lineLoss_.clear();
    return true;
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

void SerialLink::SendReceive()
{
    if (!cm.isOpen() || waitLoop_)
        return;
    // Bytes still waiting belong to an earlier transaction (a reply that came
    // after its window closed, noise on the line) and are never part of this
    // reply: left in, they would spoil this one and, taken late, the next.
    cm.clear(QSerialPort::Input);
    cm.write(CommandFrame);
    TimedOut = false;
    tmrTout.start();

    // The wait sleeps in an event loop: the window repaints and the port
    // delivers its bytes, and no CPU is spent polling.
    QEventLoop wait;
    waitLoop_ = &wait;
    while (!TimedOut && waitLoop_)
        wait.exec();
    const bool completed = waitLoop_ != nullptr;
    waitLoop_ = nullptr;
    tmrTout.stop();

    if (!completed || !cm.isOpen())
        return;
    drainOperatingSystemBuffer();
    ReplyData = cm.readAll();
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
    const QString reason = cm.errorString();
    cm.close();
    lineLoss_ = tr("The connection on %1 was lost: the device stopped answering or was removed (%2).")
                    .arg(portLabel_, reason);
    abortWait();
    QMetaObject::invokeMethod(this, &SerialLink::lineLost, Qt::QueuedConnection);
}
