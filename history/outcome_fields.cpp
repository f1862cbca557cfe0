#include "history/outcome_fields.h"

#include <QJsonObject>

namespace {

QJsonObject field(const QJsonValue &channel, const QString &name)
{
    return {{QStringLiteral("channel"), channel}, {QStringLiteral("field"), name}};
}

}  // namespace

QJsonArray failedFieldsJson(const ReadOutcome &outcome)
{
    QJsonArray fields;
    if (outcome.settingsMissed)
        fields.append(field(QJsonValue(), QStringLiteral("settings")));
    for (int channel : outcome.phoneNosMissed)
        fields.append(field(channel + 1, QStringLiteral("phone number")));
    for (int channel : outcome.messagesMissed)
        fields.append(field(channel + 1, QStringLiteral("message")));
    return fields;
}

QJsonArray differencesJson(const QList<Difference> &differences)
{
    QJsonArray out;
    for (const Difference &d : differences) {
        if (d.notChecked)
            continue;
        QJsonObject entry = field(d.channel < 0 ? QJsonValue() : QJsonValue(d.channel + 1), fieldName(d.field));
        entry.insert(QStringLiteral("modem"), QJsonValue::fromVariant(d.modem));
        entry.insert(QStringLiteral("file"), QJsonValue::fromVariant(d.file));
        if (!d.modemBytes.isEmpty())
            entry.insert(QStringLiteral("modemBytes"), QString::fromLatin1(d.modemBytes.toHex()));
        out.append(entry);
    }
    return out;
}
