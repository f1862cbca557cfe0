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
