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

static int slotCount(int slot) { return slot >= kChannelCount ? protocol::kMessageReadSize : protocol::kPhoneSlotSize; }

static void takeSettings(const protocol::Settings &settings, ReadTarget &target, ReadOutcome &outcome)
{
    if (isSlaveIdTakenOver(settings.slaveId))
        target.setSlaveId(settings.slaveId);
    else
        outcome.slaveIdNotTakenOver = settings.slaveId;
    const protocol::EnableFlags enabled = protocol::decodeEnableMask(settings.enableMask);
    for (int channel = 0; channel < kChannelCount; ++channel)
        target.setChannelEnabled(channel, enabled[channel]);
}

// Puts one slot's text into the target, or lists the field as not read.
static void takeSlot(int slot, const QByteArray &reply, ReadTarget &target, ReadOutcome &outcome)
{
    const int channel = slot % kChannelCount;
    const bool message = slot >= kChannelCount;
    const auto text = protocol::decodeMemoryTextReply(reply, slotCount(slot));
    if (!text) {
        (message ? outcome.messagesMissed : outcome.phoneNosMissed).append(channel);
        return;
    }
    message ? target.setMessage(channel, *text) : target.setPhoneNo(channel, *text);
    const QByteArray bytes = reply.mid(2);
    // The modem dials up to a NUL, wherever that lies.
    if (!message && !bytes.contains('\0'))
        outcome.phoneNosRunOn.append(channel);
    target.keepSlotBytes(channel, message, bytes.left(bytes.indexOf('\0') < 0 ? bytes.size() : bytes.indexOf('\0')));
}

// A reply is taken into the target only once the line was found quiet
// behind it, when the next command went out (after the last command: once
// its window is over). Bytes after a reply mean it came late, twice or with
// noise, and may be another command's answer: its field is not read.
ReadOutcome runDeviceRead(TransferHost &host, ReadTarget &target)
{
    ReadOutcome noAnswer;
    noAnswer.status = ReadOutcome::NoAnswer;
    const QList<QByteArray> frames = readFrames();

    const Exchange first = host.transact(frames[0], protocol::kSettingsReply);
    if (host.stopRequested())
        return stopped({}, 0, false);
    const auto settings = protocol::decodeSettingsReply(first.reply);
    if (!settings)
        return noAnswer;
    int progress = 4;
    host.setProgress(progress);

    // Every phone slot, then every message slot; a rejected reply leaves
    // its one field as it was.
    ReadOutcome outcome;
    QByteArray previousReply;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const Exchange exchange = host.transact(frames[1 + slot], protocol::memoryReply(slotCount(slot)));
        const bool previousStoodAlone = exchange.previousReplyStoodAlone();
        if (slot == 0 && !previousStoodAlone)
            return host.stopRequested() ? stopped(outcome, 0, false) : noAnswer;
        if (slot == 0)
            takeSettings(*settings, target, outcome);
        else
            takeSlot(slot - 1, previousStoodAlone ? previousReply : QByteArray(), target, outcome);
        if (host.stopRequested())
            return stopped(outcome, slot, true);
        previousReply = exchange.reply;
        host.setProgress(progress += slot >= kChannelCount ? 5 : 1);
    }
    takeSlot(kSlotCount - 1, host.quietAfterLastReply() ? previousReply : QByteArray(), target, outcome);
    return host.stopRequested() ? stopped(outcome, kSlotCount, true) : outcome;
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
