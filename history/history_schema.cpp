#include "history/history_schema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

namespace {

bool isPostgres(const QSqlDatabase &db) { return db.driverName() == QLatin1String("QPSQL"); }

bool run(QSqlDatabase &db, const QString &statement, QString *error)
{
    QSqlQuery query(db);
    if (query.exec(statement))
        return true;
    *error = query.lastError().text();
    return false;
}

// The first version's table; the later versions only add to it.
QString firstVersionTable(const QSqlDatabase &db)
{
    const QString id = isPostgres(db) ? QStringLiteral("id BIGSERIAL PRIMARY KEY")
                                      : QStringLiteral("id INTEGER PRIMARY KEY AUTOINCREMENT");
    const QString bytes = isPostgres(db) ? QStringLiteral("BYTEA") : QStringLiteral("BLOB");
    return QStringLiteral("CREATE TABLE unit_record (%1, time_utc TEXT NOT NULL, host TEXT, user_name TEXT, "
                          "program TEXT, command TEXT NOT NULL, port_label TEXT, device TEXT, slave_id INTEGER, "
                          "table_sha256 TEXT, table_text %2, file TEXT, result TEXT NOT NULL, "
                          "failed_fields TEXT, differences TEXT)").arg(id, bytes);
}

const QStringList &secondVersionChanges()
{
    static const QStringList changes{
        QStringLiteral("ALTER TABLE unit_record ADD COLUMN port TEXT"),
        QStringLiteral("ALTER TABLE unit_record ADD COLUMN adapter_serial TEXT"),
        QStringLiteral("ALTER TABLE unit_record ADD COLUMN adapter_description TEXT"),
        QStringLiteral("CREATE INDEX unit_record_time ON unit_record (time_utc)"),
        QStringLiteral("CREATE INDEX unit_record_port ON unit_record (port, time_utc)"),
        QStringLiteral("CREATE INDEX unit_record_slave ON unit_record (slave_id, time_utc)"),
        QStringLiteral("CREATE INDEX unit_record_device ON unit_record (device, time_utc)"),
        QStringLiteral("CREATE INDEX unit_record_result ON unit_record (result, time_utc)"),
    };
    return changes;
}

// -1 when the store holds no history yet.
int storedVersion(QSqlDatabase &db, QString *error)
{
    if (!db.tables().contains(QStringLiteral("telvarin_schema"))) {
        if (db.lastError().isValid())
            *error = db.lastError().text();
        return -1;
    }
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT max(version) FROM telvarin_schema")) || !query.next()) {
        *error = query.lastError().text();
        return 0;
    }
    return query.value(0).toInt();
}

bool upgrade(QSqlDatabase &db, int from, QString *error)
{
    if (from < 0 && !(run(db, QStringLiteral("CREATE TABLE telvarin_schema (version INTEGER NOT NULL)"), error)
                      && run(db, firstVersionTable(db), error)
                      && run(db, QStringLiteral("INSERT INTO telvarin_schema (version) VALUES (1)"), error)))
        return false;
    if (from < 2) {
        for (const QString &change : secondVersionChanges())
            if (!run(db, change, error))
                return false;
    }
    return run(db, QStringLiteral("UPDATE telvarin_schema SET version = %1").arg(kHistorySchemaVersion), error);
}

}  // namespace

bool prepareHistorySchema(QSqlDatabase &db, QString *error)
{
    // A quick look first: the usual store is ready, and needs no write lock.
    int version = storedVersion(db, error);
    if (version == kHistorySchemaVersion)
        return true;
    if (version == 0)
        return false;
    // Several programs may meet an empty store at once: one makes the
    // tables, the others wait for it and then find them.
    const QString begin = isPostgres(db) ? QStringLiteral("BEGIN; SELECT pg_advisory_xact_lock(7305)")
                                         : QStringLiteral("BEGIN IMMEDIATE");
    for (const QString &statement : begin.split(QStringLiteral("; ")))
        if (!run(db, statement, error))
            return false;
    version = storedVersion(db, error);
    bool ok = version != 0;
    if (ok && version > kHistorySchemaVersion) {
        *error = QStringLiteral("the history was made by a newer program (schema version %1; this one knows %2)")
                     .arg(version).arg(kHistorySchemaVersion);
        ok = false;
    }
    if (ok && version < kHistorySchemaVersion)
        ok = upgrade(db, version, error);
    QString ignored;
    return run(db, ok ? QStringLiteral("COMMIT") : QStringLiteral("ROLLBACK"), ok ? error : &ignored) && ok;
}
