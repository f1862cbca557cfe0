#pragma once

#include <QStringList>

// telvarin-cli history …: the records of earlier runs, as text (a line for
// each record, tab-separated: ID, time, command, port, slave ID, result,
// file), CSV with a header line, or a JSON document {"format": 1, "command":
// "history", "records": [...]}; `history show ID` prints one record's table.
// `arguments` as QCoreApplication::arguments(); returns the exit code.
int runHistory(const QStringList &arguments);
