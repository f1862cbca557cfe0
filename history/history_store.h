#pragma once

#include "history/history_filter.h"
#include "history/history_record.h"
#include "history/history_target.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <optional>

// A connection to the history, used on the thread that made it. Every
// failure comes back as a sentence that names the store as
// HistoryTarget::shown() does, so no password reaches a message.
class HistoryStore {
public:
    enum Mode { Record, Look };  // Look: an SQLite file that is not there is not made
    explicit HistoryStore(const HistoryTarget &target);
    ~HistoryStore();
    HistoryStore(const HistoryStore &) = delete;
    HistoryStore &operator=(const HistoryStore &) = delete;

    // Connects and brings the schema up to date; Record also moves the
    // records earlier runs left in SQLite's log into the database file.
    bool open(Mode mode, QString *error);

    // Whether a record could take the write lock now, waiting up to the busy
    // timeout for it (SQLite; true for PostgreSQL). Takes it and lets it go.
    bool writeLockFree();
    // How long the next statements wait for another program's lock (SQLite).
    void setLockWait(int ms);

    // All of them or none, in one transaction; each gets its id.
    bool append(QList<HistoryRecord> &records, QString *error);

    std::optional<QList<HistoryRecord>> list(const HistoryFilter &filter, QString *error);
    // nullopt with *error empty: there is no such record.
    std::optional<HistoryRecord> find(qint64 id, QString *error);

    // How long a record waits for another program's write to end.
    static constexpr int kBusyTimeoutMs = 250;
    // ... and, after a transfer, for a store found locked beforehand.
    static constexpr int kLockedWaitMs = 5;

private:
    void checkpoint();
    QString failure(const QString &why) const;
    HistoryTarget target_;
    QString connection_;
    QSqlDatabase db_;
};
