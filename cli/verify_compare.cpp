#include "cli/verify_compare.h"

namespace {

// A text on one line, in quotes; breaks and control characters spelt out so
// that an installer can see them.
QString shown(const QString &text)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == QLatin1Char('\r'))
            out += QStringLiteral("\\r");
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out + QLatin1Char('"');
}

QString enabledWord(const QVariant &enabled)
{
    return enabled.toBool() ? QStringLiteral("enabled") : QStringLiteral("disabled");
}

void compareText(Difference::Field field, int channel, const QString &inFile, const QString &inModem, bool missed,
                 QList<Difference> &differences)
{
    if (missed)
        differences.append({field, channel, true, {}, inFile});
    else if (inModem != inFile)
        differences.append({field, channel, false, inModem, inFile});
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

QString differenceLine(const Difference &d)
{
    if (d.field == Difference::SlaveId) {
        return d.modem.isNull() ? QStringLiteral("Slave ID: the modem has one outside 1 to 32, expected %1.").arg(d.file.toInt())
                                : QStringLiteral("Slave ID: the modem has %1, expected %2.").arg(d.modem.toInt()).arg(d.file.toInt());
    }
    if (d.field == Difference::Enabled)
        return QStringLiteral("Channel %1: %2 in the modem, %3 in the file.").arg(d.channel + 1).arg(enabledWord(d.modem), enabledWord(d.file));
    const QString where = QStringLiteral("Channel %1 %2").arg(d.channel + 1).arg(fieldName(d.field));
    if (d.notChecked)
        return where + QStringLiteral(": not checked, the modem did not answer when it was read.");
    return where + QStringLiteral(": the modem has %1, the file has %2.").arg(shown(d.modem.toString()), shown(d.file.toString()));
}

QList<Difference> compareWithModem(const ChannelTable &file, std::optional<int> slaveId, const ModemReading &modem)
{
    QList<Difference> differences;
    if (slaveId && modem.slaveId != slaveId)
        differences.append({Difference::SlaveId, -1, false, modem.slaveId ? QVariant(*modem.slaveId) : QVariant(), *slaveId});
    for (int channel = 0; channel < kChannelCount; ++channel) {
        const ChannelRow &want = file[channel];
        const ChannelRow &got = modem.rows[channel];
        if (want.enabled != got.enabled)
            differences.append({Difference::Enabled, channel, false, got.enabled, want.enabled});
        compareText(Difference::PhoneNo, channel, want.phoneNo, got.phoneNo, modem.outcome.phoneNosMissed.contains(channel),
                    differences);
        compareText(Difference::Message, channel, want.message, got.message, modem.outcome.messagesMissed.contains(channel),
                    differences);
    }
    return differences;
}
