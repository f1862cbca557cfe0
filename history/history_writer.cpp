#include "history/history_writer.h"

#include "history/history_recorder.h"
#include "history/history_store.h"

#include <QThread>

#include <condition_variable>
#include <mutex>
#include <optional>

struct HistoryWriter::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    bool ready = false;                           // opened, or failed to
    std::optional<QList<HistoryRecord>> records;  // handed over; an empty list: nothing to record
    std::optional<QString> warning;               // the thread's answer
};

HistoryWriter::HistoryWriter(const HistoryTarget &target) : shared_(std::make_unique<Shared>())
{
    if (target.kind == HistoryTarget::Off)
        return;
    // The destructor waits for the thread, so `shared` outlives it.
    thread_.reset(QThread::create([target, shared = shared_.get()] { writeOnThread(target, *shared); }));
    thread_->start();
}

HistoryWriter::~HistoryWriter()
{
    if (!thread_)
        return;
    {
        std::lock_guard lock(shared_->mutex);
        if (!shared_->records)
            shared_->records.emplace();
    }
    shared_->changed.notify_all();
    thread_->wait();
}

void HistoryWriter::waitUntilReady()
{
    std::unique_lock lock(shared_->mutex);
    shared_->changed.wait(lock, [this] { return !thread_ || shared_->ready; });
}

QString HistoryWriter::record(QList<HistoryRecord> records)
{
    if (!thread_ || records.isEmpty())
        return {};
    std::unique_lock lock(shared_->mutex);
    shared_->records = std::move(records);
    shared_->changed.notify_all();
    shared_->changed.wait(lock, [this] { return shared_->warning.has_value(); });
    return *shared_->warning;
}

void HistoryWriter::writeOnThread(const HistoryTarget &target, Shared &shared)
{
    HistoryStore store(target);
    QString error;
    const bool opened = store.open(HistoryStore::Record, &error);
    // Another program's lock held through the transfer is seen here, beside it.
    const bool lockFree = opened && store.writeLockFree();
    QList<HistoryRecord> records;
    {
        std::unique_lock lock(shared.mutex);
        shared.ready = true;
        shared.changed.notify_all();
        shared.changed.wait(lock, [&shared] { return shared.records.has_value(); });
        records = *shared.records;
    }
    QString warning;
    if (!records.isEmpty()) {
        if (opened)
            store.setLockWait(lockFree ? HistoryStore::kBusyTimeoutMs : HistoryStore::kLockedWaitMs);
        if (!opened || !store.append(records, &error))
            warning = notRecordedLine(error, records.size());
    }
    {
        std::lock_guard lock(shared.mutex);
        shared.warning = warning;
    }
    shared.changed.notify_all();
}
