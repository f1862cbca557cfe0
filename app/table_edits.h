#pragma once

#include "model/channel_row.h"

#include <QList>
#include <QString>

// The channels (numbered from 1) whose row differs from the table as a Read,
// Load, Save or Write last left it: the operator's edits that no file and no
// modem holds.
QList<int> editedChannels(const ChannelTable &now, const ChannelTable &taken);

// "channel 2", "channels 2 and 5", "channels 2, 5 and 9".
QString channelsText(const QList<int> &channels);
