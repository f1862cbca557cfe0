#pragma once

#include "history/history_record.h"
#include "history/history_target.h"

#include <QList>
#include <QString>

#include <memory>

class QThread;

// Records a run's units without holding the run up: made when the transfer
// starts, it connects, checks the schema, checkpoints and tries the write
// lock on a thread of its own while the transfer runs; record() then only
// adds the rows. A store found locked then waits HistoryStore::kLockedWaitMs
// after the transfer, not the busy timeout.
class HistoryWriter {
public:
    explicit HistoryWriter(const HistoryTarget &target);
    ~HistoryWriter();  // records nothing more; waits for the thread
    HistoryWriter(const HistoryWriter &) = delete;
    HistoryWriter &operator=(const HistoryWriter &) = delete;

    // Until the opening has ended, well or not: a transfer that lasts this
    // long leaves record() only the rows to add.
    void waitUntilReady();

    // Once only. Waits for the opening if it has not ended, records them all
    // or none, and returns the line to tell the operator (empty: recorded).
    QString record(QList<HistoryRecord> records);

private:
    struct Shared;
    // A connection lives on the thread that made it: opening and recording both happen there.
    static void writeOnThread(const HistoryTarget &target, Shared &shared);
    std::unique_ptr<Shared> shared_;
    std::unique_ptr<QThread> thread_;
};
