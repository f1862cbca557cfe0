// The row buttons and the file buttons of the main window, driven through
// the real modal dialogs.
#include "app/main_window.h"
#include "sim_fixture.h"
#include "ui/fonts.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

namespace {

// Clicks the button and runs `act` on the modal dialog it opens; returns whether act ran.
template <typename Dialog = QDialog, typename Act>
bool onModal(QPushButton *button, Act act)
{
    bool ran = false;
    QTimer::singleShot(0, button, [&ran, act] {
        if (auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget()))
            ran = true, act(dialog);
    });
    button->click();
    return ran;
}

// Clicks the button and picks the path in the file dialog it opens, or cancels it for an empty path.
bool chooseFile(QPushButton *button, const QString &path)
{
    return onModal<QFileDialog>(button, [path](QFileDialog *dialog) {
        dialog->selectFile(path);
        path.isEmpty() ? dialog->reject() : static_cast<QDialog *>(dialog)->accept();
    });
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class RowCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { installFontSubstitutes(); }
    void init()
    {
        window_ = std::make_unique<frmMain>();
        window_->show();
        for (int i = 0; i < 16; ++i)
            window_->setRow(i, {i % 2 == 0, "+9100000000" + QString::number(10 + i), "message " + QString::number(i)});
    }
    void cleanup() { window_.reset(); }

    // Each editor changes only its own row, and only on OK.
    void editorsChangeOnlyTheirRow()
    {
        ChannelTable expected = window_->table();
        QVERIFY(onModal(window_->cmdEditNo[11], [](QDialog *dialog) {
            for (const auto &[box, typed] : {std::pair{"txtSTD", "+44"}, std::pair{"txtNo", "2079460000"}}) {
                dialog->findChild<QLineEdit *>(box)->selectAll();
                QTest::keyClicks(dialog->findChild<QLineEdit *>(box), typed);
            }
            QTest::keyClick(dialog->findChild<QLineEdit *>("txtNo"), Qt::Key_Return);
        }));
        for (const char *button : {"cmdCancel", "cmdOK"}) {
            QVERIFY(onModal(window_->cmdEditMsg[4], [button](QDialog *dialog) {
                auto *box = dialog->findChild<QPlainTextEdit *>("txtMsg");
                box->selectAll();
                QTest::keyClicks(box, "Door open");
                QTest::keyClick(box, Qt::Key_Return);
                QTest::keyClicks(box, "Zone 4");
                dialog->findChild<QPushButton *>(button)->click();
            }));
        }
        expected[11].phoneNo = "+442079460000";
        expected[4].message = "Door open\r\nZone 4";
        QCOMPARE(window_->table(), expected);
    }

    // Save then Load gives the table back; a cancelled dialog does nothing,
    // even though it still offers the earlier name; a short file fills what it
    // holds and says so; a failed save names the file.
    void fileButtons()
    {
        window_->setRow(12, {true, "+911234567890123", "Alarm \"Zone 1\"\r\nopen, \x01\"c\""});
        const ChannelTable saved = window_->table();
        const QString path = dir_.filePath("table.txt");
        QVERIFY(chooseFile(window_->cmdFileSave, path));
        const QByteArray bytes = fileBytes(path);
        QCOMPARE(bytes.count("\r\n"), 48 + 1);
        for (int i = 0; i < 16; ++i)
            window_->setRow(i, {});
        QVERIFY(chooseFile(window_->cmdFileSave, {}) && chooseFile(window_->cmdFileLoad, {}));
        QCOMPARE(fileBytes(path), bytes);
        QCOMPARE(window_->table(), ChannelTable{});
        QVERIFY(chooseFile(window_->cmdFileLoad, path));
        QCOMPARE(window_->table(), saved);

        BoxWatcher boxes;
        QFile ten(dir_.filePath("ten.txt"));
        QVERIFY(ten.open(QIODevice::WriteOnly) && ten.write(QByteArray("1\r\n\"555\"\r\n\"loaded\"\r\n").repeated(10)));
        ten.close();
        QVERIFY(chooseFile(window_->cmdFileLoad, ten.fileName()));
        QTRY_COMPARE(boxes.boxes.size(), 1);
        QVERIFY(boxes.boxes[0].text.contains(ten.fileName()) && boxes.boxes[0].text.contains("Channels 1 to 10"));
        ChannelTable expected = saved;
        std::fill_n(expected.begin(), 10, ChannelRow{true, "555", "loaded"});
        QCOMPARE(window_->table(), expected);

        QVERIFY(chooseFile(window_->cmdFileSave, dir_.filePath("missing/table.txt")));
        QTRY_COMPARE(boxes.boxes.size(), 2);
        QVERIFY2(boxes.boxes[1].text.contains("missing/table.txt"), qPrintable(boxes.boxes[1].text));
        QCOMPARE(boxes.boxes[1].icon, QMessageBox::Warning);
    }

private:
    std::unique_ptr<frmMain> window_;
    QTemporaryDir dir_;
};

QTEST_MAIN(RowCommandsTest)
#include "test_row_commands.moc"
