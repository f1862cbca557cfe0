#include "transfer/device_read.h"

#include "link/device_protocol.h"
#include "model/modem_limits.h"

#include <QObject>
#include <QStringList>

QList<QByteArray> readFrames()
{
    QList<QByteArray> frames{protocol::frameReadSettings()};
    for (int channel = 0; channel < kChannelCount; ++channel)
        frames.append(protocol::frameReadMemory(protocol::phoneSlotAddress(channel), protocol::kPhoneSlotSize));
    for (int channel = 0; channel < kChannelCount; ++channel)
        frames.append(protocol::frameReadMemory(protocol::messageSlotAddress(channel), protocol::kMessageReadSize));
    return frames;
}

// The phone slots, then the message slots, one of each per channel.
constexpr int kSlotCount = 2 * kChannelCount;

// A run that stops leaves the field it was reading, and every later one, as it was.
static ReadOutcome stopped(ReadOutcome outcome, int firstUnreadSlot, bool settingsRead)
{
    outcome.status = ReadOutcome::Stopped;
    outcome.settingsMissed = !settingsRead;
    for (int slot = firstUnreadSlot; slot < kSlotCount; ++slot)
        (slot >= kChannelCount ? outcome.messagesMissed : outcome.phoneNosMissed).append(slot % kChannelCount);
    return outcome;
}

ReadOutcome runDeviceRead(TransferHost &host, ReadTarget &target)
{
    ReadOutcome outcome;
    const QList<QByteArray> frames = readFrames();

    const QByteArray settingsReply = host.transact(frames[0], protocol::kSettingsReply).reply;
    if (host.stopRequested())
        return stopped(outcome, 0, false);
    const auto settings = protocol::decodeSettingsReply(settingsReply);
    if (!settings)
        return {ReadOutcome::NoAnswer, {}, {}, false, {}, {}};
    if (isSlaveIdTakenOver(settings->slaveId))
        target.setSlaveId(settings->slaveId);
    else
        outcome.slaveIdNotTakenOver = settings->slaveId;
    const protocol::EnableFlags enabled = protocol::decodeEnableMask(settings->enableMask);
    for (int channel = 0; channel < kChannelCount; ++channel)
        target.setChannelEnabled(channel, enabled[channel]);
    int progress = 4;
    host.setProgress(progress);

    // Every phone slot, then every message slot; a rejected reply leaves
    // its one field as it was.
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const int channel = slot % kChannelCount;
        const bool message = slot >= kChannelCount;
        const int count = message ? protocol::kMessageReadSize : protocol::kPhoneSlotSize;
        const QByteArray reply = host.transact(frames[1 + slot], protocol::memoryReply(count)).reply;
        if (host.stopRequested())
            return stopped(outcome, slot, true);
        if (const auto text = protocol::decodeMemoryTextReply(reply, count)) {
            message ? target.setMessage(channel, *text) : target.setPhoneNo(channel, *text);
            const QByteArray slot = reply.mid(2);
            // The modem dials up to a NUL, wherever that lies.
            if (!message && !slot.contains('\0'))
                outcome.phoneNosRunOn.append(channel);
            target.keepSlotBytes(channel, message, slot.left(slot.indexOf('\0') < 0 ? slot.size() : slot.indexOf('\0')));
        } else
            (message ? outcome.messagesMissed : outcome.phoneNosMissed).append(channel);
        host.setProgress(progress += message ? 5 : 1);
    }
    return outcome;
}

static QString channelList(const QList<int> &channels)
{
    QStringList numbers;
    for (int channel : channels)
        numbers.append(QString::number(channel + 1));
    return (channels.size() == 1 ? QObject::tr("channel ") : QObject::tr("channels ")) + numbers.join(", ");
}

QString missedFieldsText(const ReadOutcome &outcome)
{
    if (outcome.phoneNosMissed.isEmpty() && outcome.messagesMissed.isEmpty())
        return {};
    QStringList lines{outcome.status == ReadOutcome::Stopped
                          ? QObject::tr("The Read stopped before every field was read. These fields "
                                        "kept their previous values:")
                          : QObject::tr("The device did not answer every read. These fields could not be read "
                                        "and kept their previous values:")};
    if (outcome.settingsMissed)
        lines.append(QObject::tr("Slave ID and channel flags"));
    if (!outcome.phoneNosMissed.isEmpty())
        lines.append(QObject::tr("Phone number: %1").arg(channelList(outcome.phoneNosMissed)));
    if (!outcome.messagesMissed.isEmpty())
        lines.append(QObject::tr("Message: %1").arg(channelList(outcome.messagesMissed)));
    return lines.join('\n');
}

QString missedFields(const ReadOutcome &outcome)
{
    QStringList parts;
    if (!outcome.phoneNosMissed.isEmpty())
        parts.append(QObject::tr("phone number of %1").arg(channelList(outcome.phoneNosMissed)));
    if (!outcome.messagesMissed.isEmpty())
        parts.append(QObject::tr("message of %1").arg(channelList(outcome.messagesMissed)));
    return parts.join(QStringLiteral("; "));
}

QString readRemarksText(const ReadOutcome &outcome)
{
    QStringList paragraphs;
    if (!outcome.phoneNosRunOn.isEmpty())
        paragraphs.append(QObject::tr("Phone number of %1: the device holds no end mark in its 16 bytes, so the "
                                      "number it dials runs into the next slot. Shorten it to at most %2 characters "
                                      "and Write again.")
                              .arg(channelList(outcome.phoneNosRunOn))
                              .arg(kPhoneNoLimit));
    if (outcome.slaveIdNotTakenOver)
        paragraphs.append(QObject::tr("The device has slave ID %1, which the Slave ID list does not offer (%2 to %3): "
                                      "the list was left as it was, and a Write gives the device the ID chosen there.")
                              .arg(*outcome.slaveIdNotTakenOver)
                              .arg(kFirstSlaveIdTakenOver)
                              .arg(kLastSlaveIdTakenOver));
    return paragraphs.join(QStringLiteral("\n\n"));
}

QString phoneNosRunOn(const ReadOutcome &outcome)
{
    if (outcome.phoneNosRunOn.isEmpty())
        return {};
    return QObject::tr("the phone number of %1 runs into the next slot (no end mark in its 16 bytes)")
        .arg(channelList(outcome.phoneNosRunOn));
}
