// The window's records in the history, and the sheet for the site (Ctrl+P).
#include "app/combo_selection.h"
#include "app/main_window.h"
#include "history/table_digest.h"

#include <QComboBox>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QShortcut>

void frmMain::setUpHistoryAndSheet()
{
    connect(&history_, &WindowHistory::failed, this, &frmMain::showHistoryWarning);
    auto *print = new QShortcut(QKeySequence::Print, this);
    print->setObjectName("printSheet");
    connect(print, &QShortcut::activated, this, &frmMain::printSheet_Click);
}

void frmMain::recordTransfer(HistoryRecord record)
{
    const int number = selectedPortNumber();
    const bool network = link_.isNetwork();
    record.port = network ? link_.label() : QStringLiteral("COM %1").arg(number);
    record.portLabel = link_.label();
    record.device = network ? link_.label() : link_.deviceFor(number);
    if (record.command == QLatin1String("write"))
        record.file = lastFileName_;
    history_.record(record);
}

// The transfer has been reported by then: this comes after it, never in its way.
void frmMain::showHistoryWarning(const QString &warning)
{
    auto *box = new QMessageBox(QMessageBox::Warning, tr("History"), warning, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

SheetContent frmMain::sheetContent() const
{
    const ChannelTable rows = table();
    const int slaveId = selectedNumber(cmbSlaveID, kFirstSlaveId);
    return {QDateTime::currentDateTimeUtc(), slaveId > 0 ? std::optional(slaveId) : std::nullopt, rows,
            shortSha256(digestTable(rows).sha256), lastFileName_.isEmpty() ? link_.label() : lastFileName_};
}

void frmMain::printSheet(QPrinter &printer) const
{
    // The painter's origin is the printable area's corner.
    QPainter painter(&printer);
    const QRect printable = printer.pageLayout().paintRectPixels(printer.resolution());
    paintSheet(painter, QRectF(QPointF(0, 0), printable.size()), sheetContent());
}

void frmMain::printSheet_Click()
{
    if (transferRunning_)
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setDocName(tr("Alarm modem configuration"));
    QPrintDialog dialog(&printer, this);
    dialog.setObjectName("printDialog");
    if (dialog.exec() == QDialog::Accepted)
        printSheet(printer);
}
