#include "app/window_history.h"

#include "history/history_recorder.h"

#include <memory>

WindowHistory::~WindowHistory()
{
    for (const std::unique_ptr<QThread> &thread : threads_)
        thread->wait();
}

void WindowHistory::record(HistoryRecord record)
{
    auto warning = std::make_shared<QString>();
    QThread *thread = QThread::create([record, warning]() mutable {
        stampRecord(record);
        QString error;
        const HistoryTarget target = historyTarget(QString(), false, &error);
        *warning = error.isEmpty() ? recordInHistory(target, {record})
                                   : notRecordedLine(QStringLiteral("TELVARIN_HISTORY: ") + error, 1);
    });
    threads_.emplace_back(thread);
    connect(thread, &QThread::finished, this, [this, thread, warning] {
        if (!warning->isEmpty())
            emit failed(*warning);
        emit recorded();
        thread->wait();  // `finished` comes just before the thread's very end
        std::erase_if(threads_, [thread](const std::unique_ptr<QThread> &t) { return t.get() == thread; });
    });
    thread->start();
}
