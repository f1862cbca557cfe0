#include "cli/verify_compare.h"

#include "link/device_protocol.h"
#include "link/line_text.h"

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

// The first character that a Read stops at; -1 when the whole text comes back.
qsizetype firstUnreadable(const QString &text)
{
    const qsizetype readable = protocol::decodeSlotText(toLineBytes(text)).size();
    return readable < text.size() ? readable : -1;
}

void compareText(const QString &field, int channel, const QString &inFile, const QString &inModem, bool missed,
                 VerifyFindings &findings)
{
    const QString where = QStringLiteral("Channel %1 %2").arg(channel + 1).arg(field);
    if (missed) {
        findings.differences.append(where + QStringLiteral(": not checked, the modem did not answer when it was read."));
        return;
    }
    if (inModem == inFile)
        return;
    const qsizetype cut = firstUnreadable(inFile);
    const QString why = cut < 0 ? QString()
                                : QStringLiteral(" (from %1 on the modem gives nothing back: it never returns "
                                                 "a character above 127)")
                                      .arg(shown(inFile.mid(cut, 1)));
    if (cut >= 0 && inModem == inFile.left(cut)) {
        findings.notChecked.append(where + QStringLiteral(": matches the file up to %1; the rest was not checked%2.")
                                               .arg(shown(inModem), why));
        return;
    }
    findings.differences.append(
        where + QStringLiteral(": the modem has %1, the file has %2%3.").arg(shown(inModem), shown(inFile), why));
}

}  // namespace

VerifyFindings compareWithModem(const ChannelTable &file, std::optional<int> slaveId, const ModemReading &modem)
{
    VerifyFindings findings;
    if (slaveId && modem.slaveId != slaveId) {
        findings.differences.append(
            modem.slaveId ? QStringLiteral("Slave ID: the modem has %1, expected %2.").arg(*modem.slaveId).arg(*slaveId)
                          : QStringLiteral("Slave ID: the modem has one outside 1 to 32, expected %1.").arg(*slaveId));
    }
    for (int channel = 0; channel < kChannelCount; ++channel) {
        const ChannelRow &want = file[channel];
        const ChannelRow &got = modem.rows[channel];
        if (want.enabled != got.enabled) {
            findings.differences.append(QStringLiteral("Channel %1: %2 in the modem, %3 in the file.")
                                            .arg(channel + 1)
                                            .arg(got.enabled ? QStringLiteral("enabled") : QStringLiteral("disabled"),
                                                 want.enabled ? QStringLiteral("enabled") : QStringLiteral("disabled")));
        }
        compareText(QStringLiteral("phone number"), channel, want.phoneNo, got.phoneNo,
                    modem.outcome.phoneNosMissed.contains(channel), findings);
        compareText(QStringLiteral("message"), channel, want.message, got.message,
                    modem.outcome.messagesMissed.contains(channel), findings);
    }
    return findings;
}
