#pragma once

#include "model/modem_limits.h"

#include <QString>
#include <array>

// One row of the channel table as plain values: what the transfers, the
// configuration file and the tests exchange with the main window.
struct ChannelRow {
    bool enabled = false;
    QString phoneNo;
    QString message;

    friend bool operator==(const ChannelRow &, const ChannelRow &) = default;
};

using ChannelTable = std::array<ChannelRow, kChannelCount>;
