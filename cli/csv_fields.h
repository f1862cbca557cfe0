#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The fields of one line of a CSV file as spreadsheets write it: fields
// separated by commas, a field in double quotes may hold commas, and two
// quotes inside it stand for one. A field is taken exactly as it stands,
// blanks included. Lines a spreadsheet never writes, and which readers take
// in different ways, are refused rather than guessed at.
struct CsvFields {
    QStringList fields;
    QString error;   // why the line was refused; empty when it was read
};

// `line` without its line end.
CsvFields csvFields(const QByteArray &line);
