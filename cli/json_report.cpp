#include "cli/json_report.h"

#include "history/outcome_fields.h"
#include "model/line_text.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr int kReportFormat = 1;

QJsonValue orNull(const std::optional<int> &value) { return value ? QJsonValue(*value) : QJsonValue(); }

// A text's slot as hex, only where the modem holds more than the text shows.
void addSlotBytes(QJsonObject &row, const QString &name, const QString &text, const QByteArray &bytes)
{
    if (bytes != toLineBytes(text))
        row.insert(name, QString::fromLatin1(bytes.toHex()));
}

QJsonValue channels(const UnitResult &result)
{
    if (!result.table)
        return QJsonValue();
    QJsonArray rows;
    for (int channel = 0; channel < kChannelCount; ++channel) {
        const ChannelRow &row = (*result.table)[channel];
        QJsonObject entry{{QStringLiteral("channel"), channel + 1}, {QStringLiteral("enabled"), row.enabled},
                          {QStringLiteral("phoneNo"), row.phoneNo}, {QStringLiteral("message"), row.message}};
        addSlotBytes(entry, QStringLiteral("phoneNoBytes"), row.phoneNo, result.phoneNoBytes[channel]);
        addSlotBytes(entry, QStringLiteral("messageBytes"), row.message, result.messageBytes[channel]);
        rows.append(entry);
    }
    return rows;
}

QJsonObject unit(Invocation::Command command, const UnitResult &result)
{
    QJsonObject out{{QStringLiteral("port"), result.port},
                    {QStringLiteral("label"), result.label},
                    {QStringLiteral("device"), result.device.isEmpty() ? QJsonValue() : QJsonValue(result.device)},
                    {QStringLiteral("slaveId"), orNull(result.slaveId)},
                    {QStringLiteral("file"), result.file},
                    {QStringLiteral("result"), resultName(result.result)},
                    {QStringLiteral("exitCode"), result.exitCode},
                    {QStringLiteral("durationMs"), result.durationMs},
                    {QStringLiteral("errors"), QJsonArray::fromStringList(result.errors)},
                    {QStringLiteral("failedFields"), failedFieldsJson(result.outcome)}};
    if (command == Invocation::Verify || result.checked)
        out.insert(QStringLiteral("differences"), differencesJson(result.differences));
    if (command == Invocation::Read)
        out.insert(QStringLiteral("channels"), channels(result));
    return out;
}

}  // namespace

QString commandName(Invocation::Command command)
{
    return command == Invocation::Write ? QStringLiteral("write")
         : command == Invocation::Verify ? QStringLiteral("verify") : QStringLiteral("read");
}

QString resultName(UnitResult::Result result)
{
    switch (result) {
    case UnitResult::Ok:
        return QStringLiteral("ok");
    case UnitResult::Differs:
        return QStringLiteral("differs");
    case UnitResult::NoAnswer:
        return QStringLiteral("no-answer");
    case UnitResult::Incomplete:
        return QStringLiteral("incomplete");
    case UnitResult::Failed:
        return QStringLiteral("failed");
    case UnitResult::Interrupted:
        return QStringLiteral("interrupted");
    }
    return {};
}

QByteArray unitsReport(Invocation::Command command, const QList<UnitResult> &results, int exitCode)
{
    QJsonArray units;
    for (const UnitResult &result : results)
        units.append(unit(command, result));
    const QJsonObject report{{QStringLiteral("format"), kReportFormat},
                             {QStringLiteral("command"), commandName(command)},
                             {QStringLiteral("exitCode"), exitCode},
                             {QStringLiteral("errors"), QJsonArray()},
                             {QStringLiteral("units"), units}};
    return QJsonDocument(report).toJson();
}

QByteArray portsReport(const QList<PresentComPort> &ports)
{
    QJsonArray list;
    for (const PresentComPort &port : ports) {
        list.append(QJsonObject{{QStringLiteral("com"), port.number}, {QStringLiteral("device"), port.device},
                                {QStringLiteral("description"), port.description}});
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("format"), kReportFormat}, {QStringLiteral("command"), QStringLiteral("ports")},
                                     {QStringLiteral("ports"), list}}).toJson();
}

QByteArray refusalReport(const QString &command, const QStringList &errors)
{
    const bool ports = command == QLatin1String("ports");
    return QJsonDocument(QJsonObject{{QStringLiteral("format"), kReportFormat},
                                     {QStringLiteral("command"), command.isEmpty() ? QJsonValue() : QJsonValue(command)},
                                     {QStringLiteral("exitCode"), kExitUsage},
                                     {QStringLiteral("errors"), QJsonArray::fromStringList(errors)},
                                     {ports ? QStringLiteral("ports") : QStringLiteral("units"), QJsonArray()}}).toJson();
}
