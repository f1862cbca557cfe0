#pragma once

#include "link/device_protocol.h"
#include "link/exchange.h"

#include <QByteArray>
#include <QString>

#include <optional>

// What a device transfer needs from the window that runs it: one
// send-and-wait transaction, a way to learn that it must stop, and the
// progress bar.
class TransferHost {
public:
    virtual ~TransferHost() = default;
    // Sends the frame and hands back what arrived within the reply window
    // (SerialLink::transact); `expected` is the reply a read command expects.
    virtual Exchange transact(const QByteArray &frame, std::optional<protocol::ReplyShape> expected) = 0;
    // After a run's last command: true when the line stayed quiet behind its
    // reply (SerialLink::quietAfterLastReply).
    virtual bool quietAfterLastReply() = 0;
    // True once the port failed or the window is closing: the run ends at once.
    virtual bool stopRequested() const = 0;
    virtual void setProgress(int value) = 0;
    // The modem is behind a network server: a command handed to the network
    // is not known to have reached the modem's line.
    virtual bool overNetwork() const { return false; }
};

// Where a Read puts what it decodes, field by field as the replies arrive.
class ReadTarget {
public:
    virtual ~ReadTarget() = default;
    virtual void setSlaveId(int slaveId) = 0;
    virtual void setChannelEnabled(int channel, bool enabled) = 0;
    virtual void setPhoneNo(int channel, const QString &phoneNo) = 0;
    virtual void setMessage(int channel, const QString &message) = 0;
    // The slot's bytes up to its NUL, exactly as the modem sent them: a byte
    // above 127 ends the text, but not what the modem would send on.
    virtual void keepSlotBytes(int /*channel*/, bool /*message*/, const QByteArray & /*bytes*/) {}
};
