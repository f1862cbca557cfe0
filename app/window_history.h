#pragma once

#include "history/history_record.h"

#include <QObject>
#include <QThread>

#include <memory>
#include <vector>

// The window's records go into the history (TELVARIN_HISTORY, else the
// default file) on a thread of their own: a store that is locked, full or
// out of reach never holds the window up. A record that could not be kept
// is told afterwards through `failed`.
class WindowHistory : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~WindowHistory() override;  // waits for the records on their way

    // Adds time, host, user, program and adapter, then records it.
    void record(HistoryRecord record);

signals:
    void failed(const QString &warning);
    void recorded();  // each record's attempt has ended, kept or not

private:
    std::vector<std::unique_ptr<QThread>> threads_;
};
