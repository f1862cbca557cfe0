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

void compareText(const QString &field, int channel, const QString &inFile, const QString &inModem, bool missed,
                 QStringList &differences)
{
    const QString where = QStringLiteral("Channel %1 %2").arg(channel + 1).arg(field);
    if (missed)
        differences.append(where + QStringLiteral(": not checked, the modem did not answer when it was read."));
    else if (inModem != inFile)
        differences.append(where + QStringLiteral(": the modem has %1, the file has %2.").arg(shown(inModem), shown(inFile)));
}

}  // namespace

QStringList compareWithModem(const ChannelTable &file, std::optional<int> slaveId, const ModemReading &modem)
{
    QStringList differences;
    if (slaveId && modem.slaveId != slaveId) {
        differences.append(
            modem.slaveId ? QStringLiteral("Slave ID: the modem has %1, expected %2.").arg(*modem.slaveId).arg(*slaveId)
                          : QStringLiteral("Slave ID: the modem has one outside %1 to %2, expected %3.")
                                .arg(kFirstSlaveIdTakenOver)
                                .arg(kLastSlaveIdTakenOver)
                                .arg(*slaveId));
    }
    for (int channel = 0; channel < kChannelCount; ++channel) {
        const ChannelRow &want = file[channel];
        const ChannelRow &got = modem.rows[channel];
        if (want.enabled != got.enabled) {
            differences.append(QStringLiteral("Channel %1: %2 in the modem, %3 in the file.")
                                   .arg(channel + 1)
                                   .arg(got.enabled ? QStringLiteral("enabled") : QStringLiteral("disabled"),
                                        want.enabled ? QStringLiteral("enabled") : QStringLiteral("disabled")));
        }
        compareText(QStringLiteral("phone number"), channel, want.phoneNo, got.phoneNo,
                    modem.outcome.phoneNosMissed.contains(channel), differences);
        compareText(QStringLiteral("message"), channel, want.message, got.message,
                    modem.outcome.messagesMissed.contains(channel), differences);
    }
    return differences;
}
