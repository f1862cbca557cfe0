// The link's network line: a modem behind a serial-to-network server, read
// and written through the same transaction as a serial port.
#include "link/net_line.h"
#include "link/port_address.h"
#include "link/serial_link.h"

bool SerialLink::openNetwork(const QString &name, QString *error)
{
    portLabel_ = name;
    const std::optional<NetworkPort> port = parseNetworkPort(name, error);
    return port && openNetwork(*port, error);
}

bool SerialLink::openNetwork(const NetworkPort &port, QString *error)
{
    portLabel_ = port.name;
    if (line_->isOpen())
        line_->close();
    if (!net_) {
        net_ = new NetLine(this);
        connect(net_, &QIODevice::readyRead, this, &SerialLink::checkWholeReply);
        connect(net_, &NetLine::broken, this, &SerialLink::giveUpLine);
    }
    line_ = net_;
    if (!net_->connectTo(port, stopCheck_, error))
        return false;
    lineDelayMs_ = net_->roundTripMs();
    lineLoss_.clear();
    return true;
}

void SerialLink::useSerialPort()
{
    if (net_ && net_->isOpen())
        net_->close();
    delete net_;
    net_ = nullptr;
    line_ = &cm;
    lineDelayMs_ = 0;
}

// A serial port can take back what it has not sent yet; bytes handed to
// the network are beyond recall.
void SerialLink::discardUnsent()
{
    if (!net_)
        cm.clear(QSerialPort::Output);
}
