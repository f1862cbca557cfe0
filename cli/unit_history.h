#pragma once

#include "cli/invocation.h"
#include "cli/unit_job.h"

#include "history/history_writer.h"

#include <QList>
#include <QString>

// A run's units in the history. Made before the transfer, it opens the
// history beside it; record() then adds one record for each unit whose
// result is final and returns the warning line when the history could not
// take them (empty otherwise). The exit code and the report never depend on it.
class UnitHistory {
public:
    explicit UnitHistory(const Invocation &run);
    QString record(const QList<UnitJob> &jobs, const QList<UnitResult> &results);

private:
    Invocation::Command command_;
    QString targetError_;
    HistoryWriter writer_;
};
