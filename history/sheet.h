#pragma once

#include "model/channel_row.h"

#include <QDateTime>
#include <QRectF>
#include <QString>

#include <optional>

class QPainter;

// What the sheet for the site shows: one A4 page to leave with the unit.
struct SheetContent {
    QDateTime date;                // when the table was read or written, or the sheet made
    std::optional<int> slaveId;
    ChannelTable table;
    QString shortSha256;           // of the table in the saved form
    QString source;                // "site.txt", "record 41, COM 1 (/dev/ttyUSB0)"
};

// Draws the page into `page` (in the painter's device coordinates): title,
// date, slave ID, the 16 channels (a message's line breaks break its line),
// the short SHA-256 and lines for a name and a signature. The text shrinks
// until the channels fit the page.
void paintSheet(QPainter &painter, const QRectF &page, const SheetContent &content);

// The page as a PDF file, written whole or not at all.
bool writeSheetPdf(const QString &path, const SheetContent &content, QString *error);

// A message as the sheet prints it: CR LF, LF or CR as line breaks, any
// other control character in caret form (^A).
QString sheetMessageText(const QString &message);
