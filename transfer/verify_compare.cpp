#include "transfer/verify_compare.h"
#include "model/limit_texts.h"
#include "model/line_text.h"

namespace {

// A text on one line, in quotes; breaks, control characters and bytes
// above 127 spelt out so that an installer can see them.
QString shown(const QByteArray &bytes)
{
    QString out = QStringLiteral("\"");
    for (const char c : bytes) {
        const auto byte = quint8(c);
        if (c == '\r')
            out += QStringLiteral("\\r");
        else if (c == '\n')
            out += QStringLiteral("\\n");
        else if (byte < 0x20 || byte >= 0x7F)
            out += QStringLiteral("\\x%1").arg(byte, 2, 16, QLatin1Char('0'));
        else
            out += QLatin1Char(c);
    }
    return out + QLatin1Char('"');
}

QString enabledWord(const QVariant &enabled)
{
    return enabled.toBool() ? QStringLiteral("enabled") : QStringLiteral("disabled");
}

// Byte for byte: a modem whose text a byte above 127 cut short does not
// hold the file's text, even where the cut text matches it.
void compareText(Difference::Field field, int channel, const QString &inFile, const QString &inModem,
                 const QByteArray &modemBytes, bool missed, bool runsOn, QList<Difference> &differences)
{
    if (missed)
        differences.append({field, channel, true, {}, inFile, {}});
    else if (modemBytes != toLineBytes(inFile) || runsOn)
        differences.append({field, channel, false, inModem, inFile,
                            modemBytes == toLineBytes(inModem) ? QByteArray() : modemBytes, runsOn});
}

}  // namespace

QString fieldName(Difference::Field field)
{
    switch (field) {
    case Difference::SlaveId:
        return QStringLiteral("slave ID");
    case Difference::Enabled:
        return QStringLiteral("enabled");
    case Difference::PhoneNo:
        return QStringLiteral("phone number");
    case Difference::Message:
        return QStringLiteral("message");
    }
    return {};
}

QString differenceLine(const Difference &d, const QString &ours)
{
    if (d.field == Difference::SlaveId) {
        return d.modem.isNull() ? QStringLiteral("Slave ID: the modem has one outside %1, expected %2.").arg(slaveIdTakenOverRange()).arg(d.file.toInt())
                                : QStringLiteral("Slave ID: the modem has %1, expected %2.").arg(d.modem.toInt()).arg(d.file.toInt());
    }
    if (d.field == Difference::Enabled)
        return QStringLiteral("Channel %1: %2 in the modem, %3 in the %4.").arg(d.channel + 1).arg(enabledWord(d.modem), enabledWord(d.file), ours);
    const QString where = QStringLiteral("Channel %1 %2").arg(d.channel + 1).arg(fieldName(d.field));
    if (d.notChecked)
        return where + QStringLiteral(": not checked, the modem did not answer when it was read.");
    const QByteArray modem = d.modemBytes.isEmpty() ? toLineBytes(d.modem.toString()) : d.modemBytes;
    const QString runsOn = d.runsOn ? QStringLiteral(" with no end mark in its 16 bytes, so it runs into the next slot;") : QStringLiteral(",");
    return where + QStringLiteral(": the modem has %1%2 the %3 has %4.").arg(shown(modem), runsOn, ours, shown(toLineBytes(d.file.toString())));
}

QList<Difference> compareWithModem(const ChannelTable &file, std::optional<int> slaveId, const ModemReading &modem)
{
    QList<Difference> differences;
    if (slaveId && modem.slaveId != slaveId)
        differences.append({Difference::SlaveId, -1, false, modem.slaveId ? QVariant(*modem.slaveId) : QVariant(), *slaveId, {}});
    for (int channel = 0; channel < kChannelCount; ++channel) {
        const ChannelRow &want = file[channel];
        const ChannelRow &got = modem.rows[channel];
        if (want.enabled != got.enabled)
            differences.append({Difference::Enabled, channel, false, got.enabled, want.enabled, {}});
        compareText(Difference::PhoneNo, channel, want.phoneNo, got.phoneNo, modem.phoneNoBytes[channel],
                    modem.outcome.phoneNosMissed.contains(channel), modem.outcome.phoneNosRunOn.contains(channel),
                    differences);
        compareText(Difference::Message, channel, want.message, got.message, modem.messageBytes[channel],
                    modem.outcome.messagesMissed.contains(channel), false, differences);
    }
    return differences;
}
