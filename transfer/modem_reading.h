#pragma once

#include "model/channel_row.h"
#include "transfer/device_read.h"
#include "transfer/transfer_host.h"

#include <QByteArray>

#include <array>
#include <optional>

// What a Read got out of the modem. It starts as an empty table, so a field
// the modem did not answer stays empty (and is listed in `outcome`).
struct ModemReading : ReadTarget {
    ChannelTable rows;
    std::optional<int> slaveId;  // absent when the modem reports one a Read does not take over
    ReadOutcome outcome;
    // Each text's slot up to its NUL, as sent; more than the text only when
    // a byte above 127 ended it.
    std::array<QByteArray, kChannelCount> phoneNoBytes, messageBytes;

    void setSlaveId(int id) override { slaveId = id; }
    void setChannelEnabled(int channel, bool enabled) override { rows[channel].enabled = enabled; }
    void setPhoneNo(int channel, const QString &phoneNo) override { rows[channel].phoneNo = phoneNo; }
    void setMessage(int channel, const QString &message) override { rows[channel].message = message; }
    void keepSlotBytes(int channel, bool message, const QByteArray &bytes) override
    {
        (message ? messageBytes : phoneNoBytes)[channel] = bytes;
    }
};
