#include "transfer/device_write.h"

#include "link/device_protocol.h"
#include "model/line_text.h"
#include "transfer/no_answer.h"
#include "model/character_name.h"

#include <QObject>

namespace {

// The modem keeps any byte, but a Read ends a text at a NUL or at a byte
// above 127: such a character would never come back as it was sent.
bool unreadable(char32_t code) { return code == 0 || code > 0x7F; }

void checkCharacters(int channel, const QString &field, const QString &text, QStringList &problems)
{
    if (const std::optional<char32_t> code = firstCharacterWhere(text, unreadable))
        problems.append(QObject::tr("Channel %1: the %2 holds %3, a character the device cannot give back "
                                    "(only 7-bit ASCII without NUL comes back).")
                            .arg(QString::number(channel + 1), field, characterName(*code)));
}

}  // namespace

QStringList writeProblems(const WriteRequest &request)
{
    QStringList problems;
    if (!isSlaveId(request.slaveId))
        problems.append(QObject::tr("No slave ID is selected: choose one of %1 to %2 in the Slave ID list.")
                            .arg(kFirstSlaveId, 2, 10, QLatin1Char('0'))
                            .arg(kLastSlaveId, 2, 10, QLatin1Char('0')));
    for (int channel = 0; channel < kChannelCount; ++channel) {
        const ChannelRow &row = request.rows[channel];
        if (row.phoneNo.size() > kMaxPhoneNoLength)
            problems.append(QObject::tr("Channel %1: the phone number has %2 characters; the device holds at most %3.")
                                .arg(channel + 1).arg(row.phoneNo.size()).arg(kMaxPhoneNoLength));
        if (row.message.size() > kMaxMessageLength)
            problems.append(QObject::tr("Channel %1: the message has %2 characters; the device holds at most %3.")
                                .arg(channel + 1).arg(row.message.size()).arg(kMaxMessageLength));
        checkCharacters(channel, QObject::tr("phone number"), row.phoneNo, problems);
        checkCharacters(channel, QObject::tr("message"), row.message, problems);
    }
    return problems;
}

QList<QByteArray> writeFrames(const WriteRequest &request)
{
    protocol::EnableFlags enabled{};
    for (int channel = 0; channel < kChannelCount; ++channel)
        enabled[channel] = request.rows[channel].enabled;

    QList<QByteArray> frames{protocol::frameWriteSlaveId(quint8(request.slaveId)),
                             protocol::frameWriteEnableMask(protocol::encodeEnableMask(enabled))};
    for (int channel = 0; channel < kChannelCount; ++channel)
        frames.append(protocol::frameWriteText(protocol::phoneSlotAddress(channel),
                                               toLineBytes(request.rows[channel].phoneNo)));
    for (int channel = 0; channel < kChannelCount; ++channel)
        frames.append(protocol::frameWriteText(protocol::messageSlotAddress(channel),
                                               toLineBytes(request.rows[channel].message)));
    return frames;
}

WriteOutcome runDeviceWrite(TransferHost &host, const WriteRequest &request)
{
    WriteOutcome outcome;
    outcome.overNetwork = host.overNetwork();
    const QList<QByteArray> frames = writeFrames(request);
    host.setProgress(0);
    const QByteArray probe = host.transact(protocol::frameReadSettings(), protocol::kSettingsReply).reply;
    if (host.stopRequested())
        return outcome;
    if (!protocol::decodeSettingsReply(probe)) {
        outcome.status = WriteOutcome::NoAnswer;
        return outcome;
    }
    int progress = 4;
    for (const QByteArray &frame : frames) {
        const Exchange exchange = host.transact(frame, std::nullopt);
        if (exchange.sent)
            ++outcome.framesSent;
        if (host.stopRequested())
            return outcome;
        if (!exchange.sent) {
            outcome.status = WriteOutcome::Stalled;
            return outcome;
        }
        if (outcome.framesSent == 2)
            host.setProgress(progress);
        else if (outcome.framesSent > 2)
            host.setProgress(progress += 3);
    }
    outcome.status = WriteOutcome::Completed;
    return outcome;
}

QString commandsReachedText(const WriteOutcome &outcome)
{
    // A stop or a lost line during the settings asked first wrote nothing.
    if (outcome.framesSent == 0)
        return QObject::tr("no write command reached the line, so the device holds what it held before");
    if (outcome.overNetwork)
        return QObject::tr("%1 of %2 commands were handed to the network before it broke, so the device holds at most "
                           "those, only part of this configuration")
            .arg(outcome.framesSent)
            .arg(kWriteCommandCount);
    return QObject::tr("%1 of %2 commands reached the line, so the device holds only part of this configuration")
        .arg(outcome.framesSent)
        .arg(kWriteCommandCount);
}

QString writeShortfallText(const WriteOutcome &outcome)
{
    QString reached = commandsReachedText(outcome) + QLatin1Char('.');
    reached[0] = reached[0].toUpper();
    switch (outcome.status) {
    case WriteOutcome::Completed:
        return {};
    case WriteOutcome::NoAnswer:
        return noAnswerText();
    case WriteOutcome::Stalled:
        return QObject::tr("The Write stopped: command %1 did not leave the port within its %2 ms (the line does not "
                           "take what is sent). %3 Check the cable and the adapter, then Write again.")
            .arg(outcome.framesSent + 1)
            .arg(protocol::kReplyWindowMs)
            .arg(reached);
    case WriteOutcome::Stopped:
        break;
    }
    return reached;
}
