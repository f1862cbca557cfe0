#include "cli/serial_host.h"

#include "cli/invocation.h"
#include "cli/progress_bar.h"
#include "cli/stop_signals.h"
#include "link/com_port.h"

SerialHost::SerialHost() : link_(defaultPortsDirectory()) {}

bool SerialHost::open(const QString &port, QString *error)
{
    const int number = parsePortNumber(port).value_or(0);
    if (number > 0) {
        label_ = QStringLiteral("COM %1 (%2)").arg(number).arg(link_.deviceFor(number));
        return link_.open(number, error);
    }
    label_ = port;
    return link_.openDevice(port, port, error);
}

void SerialHost::close()
{
    QString ignored;
    if (link_.isOpen())
        link_.close(&ignored);
}

QByteArray SerialHost::transact(const QByteArray &frame)
{
    // A stop asked for before this command: nothing more goes out.
    if (stopRequested())
        return {};
    link_.CommandFrame = frame;
    link_.SendReceive();
    return link_.ReplyData;
}

bool SerialHost::stopRequested() const
{
    return stopSignal() != 0 || link_.hasLineLoss() || !link_.isOpen();
}

void SerialHost::setProgress(int value)
{
    if (bar_)
        bar_->setValue(value);
}
