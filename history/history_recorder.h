#pragma once

#include "history/history_record.h"
#include "history/history_target.h"

#include <QList>
#include <QString>

// Fills in what every record carries beside its unit: the time (UTC), host,
// user and program, and the adapter behind record.device.
void stampRecord(HistoryRecord &record);

// Records them all, or none; returns the one line to tell the operator when
// the history could not take them (empty when it did, or when the target is
// Off). Never throws and never waits longer than the store's busy timeout
// for a lock (plus PostgreSQL's connect timeout for a server out of reach).
QString recordInHistory(const HistoryTarget &target, QList<HistoryRecord> records);

// "WHY; the unit was not recorded." ("the 3 units were" for several).
QString notRecordedLine(const QString &why, qsizetype count);
