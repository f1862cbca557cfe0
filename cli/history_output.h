#pragma once

#include "history/history_record.h"

#include <QByteArray>
#include <QList>

// `telvarin-cli history` output: a line for each record (tab-separated:
// ID, time, command, port, slave ID, result, file); CSV with a header line;
// or a JSON document {"format": 1, "command": "history", "records": [...]}.
// None holds the tables themselves (history show gives one).
QByteArray historyText(const QList<HistoryRecord> &records);
QByteArray historyCsv(const QList<HistoryRecord> &records);
QByteArray historyJson(const QList<HistoryRecord> &records);
