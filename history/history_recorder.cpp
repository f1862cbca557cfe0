#include "history/history_recorder.h"

#include "history/adapter_info.h"
#include "history/history_store.h"

#include <QCoreApplication>
#include <QSysInfo>

#include <pwd.h>
#include <unistd.h>

namespace {

QString userName()
{
    // The account, not $USER, which a script may have set to anything.
    passwd entry{};
    passwd *found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(::geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found)
        return QString::fromLocal8Bit(found->pw_name);
    return qEnvironmentVariable("USER");
}

}  // namespace

void stampRecord(HistoryRecord &record)
{
    record.time = QDateTime::currentDateTimeUtc();
    record.host = QSysInfo::machineHostName();
    record.user = userName();
    record.program = QCoreApplication::applicationName();
    const AdapterInfo adapter = adapterInfo(record.device);
    record.adapterSerial = adapter.serialNumber;
    record.adapterDescription = adapter.description;
}

QString recordInHistory(const HistoryTarget &target, QList<HistoryRecord> records)
{
    if (target.kind == HistoryTarget::Off || records.isEmpty())
        return {};
    HistoryStore store(target);
    QString error;
    if (store.open(HistoryStore::Record, &error) && store.append(records, &error))
        return {};
    return notRecordedLine(error, records.size());
}

QString notRecordedLine(const QString &why, qsizetype count)
{
    return QStringLiteral("%1; %2 not recorded.").arg(why, count == 1 ? QStringLiteral("the unit was")
                                                                     : QStringLiteral("the %1 units were").arg(count));
}
