#include "cli/history_command.h"

#include "cli/cli_output.h"
#include "cli/exit_codes.h"
#include "cli/invocation.h"
#include "cli/json_report.h"
#include "history/history_store.h"

#include <QCommandLineParser>
#include <QJsonDocument>
#include <QJsonObject>


namespace {

QString shownTime(const HistoryRecord &r) { return r.time.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss'Z'")); }

QString slaveIdText(const HistoryRecord &r) { return r.slaveId ? QString::number(*r.slaveId) : QString(); }

QString compact(const QJsonArray &array) { return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact)); }

QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n'))
        && !text.contains(QLatin1Char('\r')))
        return text;
    return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

QJsonValue orNull(const QString &text) { return text.isEmpty() ? QJsonValue() : QJsonValue(text); }

QByteArray historyText(const QList<HistoryRecord> &records)
{
    QString out;
    for (const HistoryRecord &r : records) {
        out += QStringList{QString::number(r.id), shownTime(r), r.command, r.portLabel.isEmpty() ? r.port : r.portLabel,
                           slaveIdText(r), r.result, r.file}.join(QLatin1Char('\t'))
             + QLatin1Char('\n');
    }
    return out.toUtf8();
}

QByteArray historyCsv(const QList<HistoryRecord> &records)
{
    QString out = QStringLiteral("id,time,host,user,program,command,port,label,device,adapter serial,adapter description,"
                                 "slave id,table sha256,file,result,failed fields,differences\r\n");
    for (const HistoryRecord &r : records) {
        const QStringList fields{QString::number(r.id), shownTime(r), r.host, r.user, r.program, r.command, r.port,
                                 r.portLabel, r.device, r.adapterSerial, r.adapterDescription, slaveIdText(r),
                                 r.tableSha256, r.file, r.result, compact(r.failedFields), compact(r.differences)};
        QStringList quoted;
        for (const QString &field : fields)
            quoted.append(csvField(field));
        out += quoted.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    }
    return out.toUtf8();
}

QByteArray historyJson(const QList<HistoryRecord> &records)
{
    QJsonArray list;
    for (const HistoryRecord &r : records) {
        list.append(QJsonObject{
            {QStringLiteral("id"), r.id}, {QStringLiteral("time"), shownTime(r)}, {QStringLiteral("host"), r.host},
            {QStringLiteral("user"), r.user}, {QStringLiteral("program"), r.program}, {QStringLiteral("command"), r.command},
            {QStringLiteral("port"), r.port}, {QStringLiteral("label"), r.portLabel}, {QStringLiteral("device"), orNull(r.device)},
            {QStringLiteral("adapterSerial"), orNull(r.adapterSerial)},
            {QStringLiteral("adapterDescription"), orNull(r.adapterDescription)},
            {QStringLiteral("slaveId"), r.slaveId ? QJsonValue(*r.slaveId) : QJsonValue()},
            {QStringLiteral("tableSha256"), orNull(r.tableSha256)}, {QStringLiteral("file"), orNull(r.file)},
            {QStringLiteral("result"), r.result}, {QStringLiteral("failedFields"), r.failedFields},
            {QStringLiteral("differences"), r.differences}});
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("format"), 1}, {QStringLiteral("command"), QStringLiteral("history")},
                                     {QStringLiteral("records"), list}}).toJson();
}

// The results a record can hold: those a run ends with.
QStringList resultNames()
{
    QStringList names;
    for (int result = UnitResult::Ok; result <= UnitResult::Interrupted; ++result)
        names.append(resultName(UnitResult::Result(result)));
    return names;
}

int usage(const QString &why)
{
    printError(why + QStringLiteral(" (see telvarin-cli --help)"));
    return kExitUsage;
}

// The filter as the options give it, or the usage error.
QString readFilter(const QCommandLineParser &parser, HistoryFilter &filter)
{
    filter.port = parser.value(QStringLiteral("port"));
    if (parser.isSet(QStringLiteral("slave-id"))) {
        filter.slaveId = parseSlaveId(parser.value(QStringLiteral("slave-id")));
        if (!filter.slaveId)
            return QStringLiteral("--slave-id \"%1\" is not a slave ID").arg(parser.value(QStringLiteral("slave-id")));
    }
    if (parser.isSet(QStringLiteral("since"))) {
        filter.since = parseSinceDate(parser.value(QStringLiteral("since")));
        if (!filter.since.isValid())
            return QStringLiteral("--since \"%1\" is not a date such as 2024-03-05 or 2024-03-05T14:30")
                .arg(parser.value(QStringLiteral("since")));
    }
    filter.result = parser.value(QStringLiteral("result"));
    if (const QStringList results = resultNames(); !filter.result.isEmpty() && !results.contains(filter.result))
        return QStringLiteral("--result \"%1\" is none of %2").arg(filter.result, results.join(QStringLiteral(", ")));
    if (parser.isSet(QStringLiteral("limit"))) {
        bool ok = false;
        filter.limit = parser.value(QStringLiteral("limit")).toInt(&ok);
        if (!ok || filter.limit < 1)
            return QStringLiteral("--limit \"%1\" is not a number of records").arg(parser.value(QStringLiteral("limit")));
    }
    return {};
}

std::optional<qint64> recordId(const QString &text)
{
    bool ok = false;
    const qint64 id = text.toLongLong(&ok);
    return ok && id > 0 ? std::optional(id) : std::nullopt;
}

// The store to look in: --history STORE, else TELVARIN_HISTORY, else the default file.
std::optional<HistoryTarget> lookTarget(const QString &option, QString *error)
{
    const HistoryTarget target = historyTarget(option, false, error);
    return error->isEmpty() ? std::optional(target) : std::nullopt;
}

std::optional<HistoryRecord> storedRecord(HistoryStore &store, qint64 id, const HistoryTarget &target, QString *error)
{
    std::optional<HistoryRecord> record = store.find(id, error);
    if (!record && error->isEmpty())
        *error = QStringLiteral("history %1 holds no record %2").arg(target.shown()).arg(id);
    return record;
}

int showRecord(HistoryStore &store, const HistoryTarget &target, const QString &idText)
{
    const std::optional<qint64> id = recordId(idText);
    if (!id)
        return usage(QStringLiteral("history show \"%1\": a record's ID is a number from the history's list").arg(idText));
    QString error;
    const std::optional<HistoryRecord> record = storedRecord(store, *id, target, &error);
    if (!record) {
        printError(error);
        return kExitUsage;
    }
    if (record->table.isEmpty()) {
        printError(QStringLiteral("record %1 holds no table: the modem's was not read whole (%2)").arg(*id).arg(record->result));
        return kExitUsage;
    }
    return writeStandardOutput(record->table) ? kExitOk : kExitUsage;
}

}  // namespace

int runHistory(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.addOptions({{QStringLiteral("port"), QString(), QStringLiteral("P")},
                       {QStringLiteral("slave-id"), QString(), QStringLiteral("N")},
                       {QStringLiteral("since"), QString(), QStringLiteral("DATE")},
                       {QStringLiteral("result"), QString(), QStringLiteral("R")},
                       {QStringLiteral("limit"), QString(), QStringLiteral("N")},
                       {QStringLiteral("history"), QString(), QStringLiteral("STORE")},
                       {QStringLiteral("json"), QString()}, {QStringLiteral("csv"), QString()}});
    if (!parser.parse(arguments))
        return usage(parser.errorText());
    const QStringList positional = parser.positionalArguments().mid(1);
    HistoryFilter filter;
    if (const QString error = readFilter(parser, filter); !error.isEmpty())
        return usage(error);
    if (parser.isSet(QStringLiteral("json")) && parser.isSet(QStringLiteral("csv")))
        return usage(QStringLiteral("history: --json and --csv exclude each other"));
    const bool show = !positional.isEmpty() && positional.first() == QLatin1String("show");
    if (show ? positional.size() != 2 : !positional.isEmpty())
        return usage(show ? QStringLiteral("history show needs one record ID")
                          : QStringLiteral("history: unexpected argument \"%1\"").arg(positional.first()));

    QString error;
    const std::optional<HistoryTarget> target = lookTarget(parser.value(QStringLiteral("history")), &error);
    if (!target)
        return usage(error);
    HistoryStore store(*target);
    if (!store.open(HistoryStore::Look, &error)) {
        printError(error);
        return kExitUsage;
    }
    if (show)
        return showRecord(store, *target, positional[1]);
    const std::optional<QList<HistoryRecord>> records = store.list(filter, &error);
    if (!records) {
        printError(error);
        return kExitUsage;
    }
    const QByteArray out = parser.isSet(QStringLiteral("json")) ? historyJson(*records)
                         : parser.isSet(QStringLiteral("csv"))  ? historyCsv(*records) : historyText(*records);
    return writeStandardOutput(out) ? kExitOk : kExitUsage;
}
