// The window's Read and Write in the history, a store that cannot take
// them, and the sheet that Ctrl+P prints.
#include "app/main_window.h"
#include "history/history_store.h"
#include "sim_fixture.h"

#include <QComboBox>
#include <QJsonDocument>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

class WindowHistoryTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        work_ = std::make_unique<QTemporaryDir>();
        qputenv("TELVARIN_HISTORY", work_->filePath("h.sqlite").toLocal8Bit());
        port_ = std::make_unique<SimulatedPort>();
        port_->modem->setPaceAtLineRate(false);
        window_ = std::make_unique<frmMain>(port_->directory());
        window_->show();
        boxes_ = std::make_unique<BoxWatcher>([w = window_.get()] { return w->progressWindow() != nullptr; });
        window_->cmdConnect->click();
        QVERIFY(window_->link().isOpen());
    }
    void cleanup()
    {
        boxes_.reset();
        window_.reset();
        port_.reset();
    }

    void recordsReadAndWrite()
    {
        QSignalSpy recorded(&window_->history(), &WindowHistory::recorded);
        window_->cmdDeviceRead->click();
        QVERIFY(recorded.count() == 1 || recorded.wait(10000));
        window_->cmbSlaveID->setCurrentIndex(4);
        window_->setRow(2, {true, "+441234567890", "Gas leak\r\nexit"});
        window_->setRow(0, {true, "+911234567890", "Intruder"});
        port_->modem->forgetCommand(20);  // the probe, E0, E1, 16 numbers, then channel 1's message
        window_->cmdDeviceWrite->click();
        QVERIFY(recorded.count() == 2 || recorded.wait(10000));
        QCOMPARE(boxes_->boxes.size(), 1);  // the Write's check tells of the difference

        HistoryStore store(parseHistoryTarget(work_->filePath("h.sqlite"), nullptr));
        QString error;
        QVERIFY2(store.open(HistoryStore::Look, &error), qPrintable(error));
        QList<HistoryRecord> records;
        const QList<HistoryRecord> listed = store.list({}, &error).value_or(QList<HistoryRecord>());
        for (const HistoryRecord &entry : listed)
            records.append(store.find(entry.id, &error).value_or(HistoryRecord()));  // the list leaves the tables out
        QStringList seen;
        for (const HistoryRecord &r : records)
            seen << QStringList{r.program, r.command, r.result, r.port, QString::number(r.slaveId.value_or(0)),
                                QString::number(r.table.count("\r\n"))}.join(' ');
        QCOMPARE(seen, QStringList({"test_window_history write differs COM 1 5 49", "test_window_history read ok COM 1 1 48"}));
        QCOMPARE(QJsonDocument(records[0].differences).toJson(QJsonDocument::Compact),
                 R"([{"channel":1,"field":"message","file":"Intruder","modem":"Fire alarm at site A"}])");
        QVERIFY(records[1].table.startsWith("1\r\n\"+911234567890\"\r\n\"Fire alarm at site A\"\r\n1\r\n"));
        QVERIFY(records[0].table.contains("\"Gas leak\r\nexit\""));
        QCOMPARE(records[0].portLabel, QString("COM 1 (%1/com1)").arg(port_->directory()));
    }

    // The transfer is reported as ever; the history's trouble comes after it, in a box of its own.
    void storeThatCannotRecord()
    {
        QVERIFY(writeFile(work_->filePath("h.sqlite"), QByteArray("not a database\n").repeated(500)));
        QSignalSpy recorded(&window_->history(), &WindowHistory::recorded);
        window_->cmdDeviceRead->click();
        QCOMPARE(window_->row(4).message, "Power failure in pump house");
        QVERIFY(recorded.count() == 1 || recorded.wait(10000));
        QTRY_COMPARE(boxes_->boxes.size(), 1);
        const SeenBox box = boxes_->boxes.first();
        QVERIFY2(box.title == "History" && box.text.contains("file is not a database") && box.text.endsWith("the unit was not recorded.")
                     && !box.progressWindowShown, qPrintable(box.title + ": " + box.text));
        QVERIFY(window_->cmdDeviceRead->isEnabled());
    }

    void ctrlPPrintsTheSheet()
    {
        window_->setRow(6, {true, "+4420794600", "Flood\r\nbasement"});
        window_->cmbSlaveID->setCurrentIndex(11);
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        bool asked = false;
        QTimer::singleShot(0, this, [&] {
            if (auto *dialog = qobject_cast<QPrintDialog *>(QApplication::activeModalWidget()))
                asked = true, dialog->reject();
        });
        QTest::keySequence(window_.get(), QKeySequence::Print);
        QVERIFY(asked);

        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(work_->filePath("sheet.pdf"));
        window_->printSheet(printer);
        QProcess text;
        text.start("pdftotext", {"-layout", work_->filePath("sheet.pdf"), "-"});
        QVERIFY2(text.waitForFinished(30000) && text.exitCode() == 0, "pdftotext (Debian poppler-utils) did not run");
        const QString page = QString::fromUtf8(text.readAllStandardOutput());
        for (const char *expected : {"Slave ID: 12", "+4420794600", "Flood", "basement", "Signature:"})
            QVERIFY2(page.contains(expected), qPrintable(expected + (" missing in:\n" + page)));
    }

private:
    std::unique_ptr<QTemporaryDir> work_;
    std::unique_ptr<SimulatedPort> port_;
    std::unique_ptr<frmMain> window_;
    std::unique_ptr<BoxWatcher> boxes_;
};

QTEST_MAIN(WindowHistoryTest)
#include "test_window_history.moc"
