#include "history/history_store.h"

#include "history/history_schema.h"
#include "history/private_files.h"

#include <QAtomicInteger>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimeZone>
#include <QSqlDriver>
#include <QVariant>

#include <sqlite3.h>

namespace {

const QString kColumns = QStringLiteral(
    "id, time_utc, host, user_name, program, command, port, port_label, device, adapter_serial, "
    "adapter_description, slave_id, table_sha256, table_text, file, result, failed_fields, differences");

QVariant text(const QString &value) { return value.isNull() ? QVariant(QMetaType::fromType<QString>()) : QVariant(value); }

QString jsonText(const QJsonArray &array) { return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact)); }

QJsonArray jsonArray(const QVariant &value) { return QJsonDocument::fromJson(value.toString().toUtf8()).array(); }

HistoryRecord recordAt(const QSqlQuery &query)
{
    HistoryRecord r;
    r.id = query.value(0).toLongLong();
    r.time = QDateTime::fromString(query.value(1).toString(), Qt::ISODateWithMs).toUTC();
    r.host = query.value(2).toString();
    r.user = query.value(3).toString();
    r.program = query.value(4).toString();
    r.command = query.value(5).toString();
    r.port = query.value(6).toString();
    r.portLabel = query.value(7).toString();
    r.device = query.value(8).toString();
    r.adapterSerial = query.value(9).toString();
    r.adapterDescription = query.value(10).toString();
    if (!query.value(11).isNull())
        r.slaveId = query.value(11).toInt();
    r.tableSha256 = query.value(12).toString();
    r.table = query.value(13).toByteArray();
    r.file = query.value(14).toString();
    r.result = query.value(15).toString();
    r.failedFields = jsonArray(query.value(16));
    r.differences = jsonArray(query.value(17));
    return r;
}

sqlite3 *sqliteHandle(const QSqlDatabase &db)
{
    const QVariant handle = db.driver()->handle();
    return qstrcmp(handle.typeName(), "sqlite3*") == 0 ? *static_cast<sqlite3 *const *>(handle.constData()) : nullptr;
}

}  // namespace

HistoryStore::HistoryStore(const HistoryTarget &target) : target_(target)
{
    static QAtomicInteger<quint64> counter;
    connection_ = QStringLiteral("telvarin-history-%1").arg(counter.fetchAndAddRelaxed(1));
}

HistoryStore::~HistoryStore()
{
    if (db_.isValid()) {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(connection_);
    }
}

QString HistoryStore::failure(const QString &why) const
{
    // One line, whatever the driver says (libpq breaks its messages over several).
    return QStringLiteral("history %1: %2").arg(target_.shown(), why.simplified());
}

bool HistoryStore::open(Mode mode, QString *error)
{
    const bool postgres = target_.kind == HistoryTarget::PostgreSQL;
    const QString driver = postgres ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE");
    if (!QSqlDatabase::isDriverAvailable(driver)) {
        *error = failure(QStringLiteral("Qt's %1 driver is not installed (Debian: %2)")
                             .arg(driver, postgres ? QStringLiteral("libqt6sql6-psql") : QStringLiteral("libqt6sql6-sqlite")));
        return false;
    }
    QString why;
    if (!postgres) {
        if (mode == Look && !QFileInfo::exists(target_.path)) {
            *error = failure(QStringLiteral("nothing has been recorded there"));
            return false;
        }
        if (!createPrivateFile(target_.path, &why)) {
            *error = failure(why);
            return false;
        }
    }
    db_ = QSqlDatabase::addDatabase(driver, connection_);
    if (postgres) {
        db_.setHostName(target_.host);
        if (target_.port > 0)
            db_.setPort(target_.port);
        db_.setDatabaseName(target_.database);
        db_.setUserName(target_.user);
        db_.setPassword(target_.password);
        db_.setConnectOptions(target_.options.join(QLatin1Char(';')));
    } else {
        db_.setDatabaseName(target_.path);
        // Several programs may record at once: a writer waits a moment for another's short transaction.
        db_.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    }
    if (!db_.open()) {
        *error = failure(db_.lastError().text());
        return false;
    }
    if (!postgres) {
        // Readers never wait for a writer in WAL mode; NORMAL syncs at
        // checkpoints only, which WAL keeps safe. No commit checkpoints
        // (two syncs, tens of milliseconds on a disk, inside the write
        // lock): the next run that records does it, before its record. A
        // log that a large batch made long is cut back when it starts over.
        if (sqlite3 *connection = sqliteHandle(db_))
            sqlite3_db_config(connection, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        QSqlQuery pragma(db_);
        if (!pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !pragma.exec(QStringLiteral("PRAGMA synchronous=NORMAL"))
            || !pragma.exec(QStringLiteral("PRAGMA wal_autocheckpoint=0"))) {
            *error = failure(pragma.lastError().text());
            return false;
        }
    }
    if (!prepareHistorySchema(db_, &why)) {
        *error = failure(why);
        return false;
    }
    if (!postgres && mode == Record)
        checkpoint();
    return true;
}

void HistoryStore::checkpoint()
{
    // PASSIVE waits for no one: a checkpoint another program is running, or
    // a reader still on the old records, leaves the rest for a later run.
    QSqlQuery query(db_);
    if (!query.exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)")) || !query.next())
        return;
    const bool busy = query.value(0).toInt() != 0;
    const int logged = query.value(1).toInt();
    if (busy || logged <= 0 || query.value(2).toInt() != logged)
        return;
    // With every record in the database, the next write starts the log
    // over and syncs its new header: one write that changes nothing does
    // that here, so the record that follows only appends.
    if (query.exec(QStringLiteral("PRAGMA user_version")) && query.next())
        query.exec(QStringLiteral("PRAGMA user_version = %1").arg(query.value(0).toInt()));
}

bool HistoryStore::writeLockFree()
{
    if (target_.kind != HistoryTarget::SQLite)
        return true;
    QSqlQuery query(db_);
    if (!query.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return false;
    query.exec(QStringLiteral("ROLLBACK"));
    return true;
}

void HistoryStore::setLockWait(int ms)
{
    if (sqlite3 *connection = target_.kind == HistoryTarget::SQLite ? sqliteHandle(db_) : nullptr)
        sqlite3_busy_timeout(connection, ms);
}

bool HistoryStore::append(QList<HistoryRecord> &records, QString *error)
{
    if (!db_.transaction()) {
        *error = failure(db_.lastError().text());
        return false;
    }
    QSqlQuery insert(db_);
    const QString columns = kColumns.section(QStringLiteral(", "), 1);
    insert.prepare(QStringLiteral("INSERT INTO unit_record (%1) VALUES (%2)")
                       .arg(columns, QStringLiteral("?, ").repeated(17).chopped(2)));
    for (HistoryRecord &r : records) {
        const QList<QVariant> values{
            storedTime(r.time), text(r.host), text(r.user), text(r.program), r.command, text(r.port),
            text(r.portLabel), text(r.device), text(r.adapterSerial), text(r.adapterDescription),
            r.slaveId ? QVariant(*r.slaveId) : QVariant(QMetaType::fromType<int>()),
            r.table.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(r.tableSha256),
            r.table.isEmpty() ? QVariant(QMetaType::fromType<QByteArray>()) : QVariant(r.table),
            text(r.file), r.result, jsonText(r.failedFields), jsonText(r.differences)};
        for (int at = 0; at < values.size(); ++at)
            insert.bindValue(at, values[at]);
        if (!insert.exec()) {
            *error = failure(insert.lastError().text());
            db_.rollback();
            return false;
        }
        r.id = insert.lastInsertId().toLongLong();
    }
    if (!db_.commit()) {
        *error = failure(db_.lastError().text());
        db_.rollback();
        return false;
    }
    return true;
}

std::optional<QList<HistoryRecord>> HistoryStore::list(const HistoryFilter &filter, QString *error)
{
    QStringList conditions;
    QList<QVariant> values;
    if (!filter.port.isEmpty()) {
        conditions.append(QStringLiteral("(port = ? OR device = ?)"));
        values << normalPortName(filter.port) << filter.port;
    }
    if (filter.slaveId) {
        conditions.append(QStringLiteral("slave_id = ?"));
        values << *filter.slaveId;
    }
    if (filter.since.isValid()) {
        conditions.append(QStringLiteral("time_utc >= ?"));
        values << storedTime(filter.since);
    }
    if (!filter.result.isEmpty()) {
        conditions.append(QStringLiteral("result = ?"));
        values << filter.result;
    }
    QSqlQuery query(db_);
    query.setForwardOnly(true);
    // The newest ids come from the indexes alone; only those rows are then
    // read, and without their tables (history show reads one).
    const QString order = QStringLiteral("ORDER BY time_utc DESC, id DESC");
    query.prepare(QStringLiteral("SELECT %1 FROM unit_record WHERE id IN (SELECT id FROM unit_record %2 %3 LIMIT %4) %3")
                      .arg(QString(kColumns).replace(QStringLiteral("table_text"), QStringLiteral("NULL")),
                           conditions.isEmpty() ? QString() : QStringLiteral("WHERE ") + conditions.join(QStringLiteral(" AND ")),
                           order, QString::number(filter.limit)));
    for (int at = 0; at < values.size(); ++at)
        query.bindValue(at, values[at]);
    if (!query.exec()) {
        *error = failure(query.lastError().text());
        return std::nullopt;
    }
    QList<HistoryRecord> records;
    while (query.next())
        records.append(recordAt(query));
    return records;
}

std::optional<HistoryRecord> HistoryStore::find(qint64 id, QString *error)
{
    QSqlQuery query(db_);
    query.prepare(QStringLiteral("SELECT %1 FROM unit_record WHERE id = ?").arg(kColumns));
    query.bindValue(0, id);
    if (!query.exec()) {
        *error = failure(query.lastError().text());
        return std::nullopt;
    }
    if (!query.next())
        return std::nullopt;
    return recordAt(query);
}
