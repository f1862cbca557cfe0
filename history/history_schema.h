#pragma once

#include <QSqlDatabase>
#include <QString>

// The schema's version, kept in the table telvarin_schema. Version 1 had no
// port as given and no adapter; version 2 adds them and the indexes that
// keep a filtered list quick.
inline constexpr int kHistorySchemaVersion = 2;

// Creates the tables in an empty store, or brings one of an earlier version
// up to this one, in one transaction. A store of a later version is
// refused, so an old program never writes records a newer one misreads.
// On failure *error says why.
bool prepareHistorySchema(QSqlDatabase &db, QString *error);
