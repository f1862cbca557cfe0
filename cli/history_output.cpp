#include "cli/history_output.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

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

}  // namespace

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
