#include "cli/serial_host.h"

#include "cli/stop_signals.h"
#include "link/com_port.h"

SerialHost::SerialHost() : link_(defaultPortsDirectory())
{
    link_.setStopCheck([] { return stopSignal() != 0; });
}

bool SerialHost::open(const UnitPort &port, QString *error)
{
    if (port.network) {
        device_ = port.name;
        return link_.openNetwork(*port.network, error);
    }
    device_ = port.comNumber > 0 ? link_.deviceFor(port.comNumber) : port.name;
    if (port.comNumber > 0)
        return link_.open(port.comNumber, error);
    return link_.openDevice(port.name, port.name, error);
}

void SerialHost::close()
{
    QString ignored;
    if (link_.isOpen())
        link_.close(&ignored);
}

Exchange SerialHost::transact(const QByteArray &frame, std::optional<protocol::ReplyShape> expected)
{
    // A stop asked for before this command: nothing more goes out.
    if (stopRequested())
        return {};
    return link_.transact(frame, expected);
}

bool SerialHost::quietAfterLastReply() { return !stopRequested() && link_.quietAfterLastReply(); }

bool SerialHost::stopRequested() const
{
    return stopSignal() != 0 || link_.hasLineLoss() || !link_.isOpen();
}

void SerialHost::setProgress(int value)
{
    if (progress_)
        progress_(value);
}

QString SerialHost::device() const { return link_.isOpen() ? device_ : QString(); }
