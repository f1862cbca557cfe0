// The row buttons and the file buttons of the main window, driven through
// the real modal dialogs.
#include "ui/fonts.h"
#include "app/main_window.h"
#include "sim_fixture.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

namespace {

// Runs `act` on the next modal dialog once it is open; returns whether it ran.
template <typename Dialog>
void onModal(QObject *context, bool &ran, std::function<void(Dialog *)> act)
{
    QTimer::singleShot(0, context, [&ran, act] {
        if (auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget())) {
            ran = true;
            act(dialog);
        }
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
    void init();
    void cleanup() { window_.reset(); }
    void phoneEditorChangesOnlyThatPhoneNumber();
    void messageEditorOkAndCancel();
    void saveThenLoadThroughTheDialogs();
    void cancelledDialogDoesNothing();
    void partialLoadSaysWhichChannelsWereFilled();
    void failedSaveNamesTheFile();

private:
    bool chooseFile(const QString &path, QPushButton *button);
    std::unique_ptr<frmMain> window_;
    QTemporaryDir dir_;
};

void RowCommandsTest::init()
{
    window_ = std::make_unique<frmMain>();
    window_->show();
    for (int i = 0; i < 16; ++i)
        window_->setRow(i, {i % 2 == 0, "+9100000000" + QString::number(10 + i), "message " + QString::number(i)});
}

// Clicks the button and picks the path in the file dialog it opens.
bool RowCommandsTest::chooseFile(const QString &path, QPushButton *button)
{
    bool ran = false;
    onModal<QFileDialog>(this, ran, [path](QFileDialog *dialog) {
        dialog->selectFile(path);
        static_cast<QDialog *>(dialog)->accept();
    });
    button->click();
    return ran;
}

void RowCommandsTest::phoneEditorChangesOnlyThatPhoneNumber()
{
    const ChannelTable before = window_->table();
    bool ran = false;
    onModal<QDialog>(this, ran, [](QDialog *dialog) {
        auto *std = dialog->findChild<QLineEdit *>("txtSTD");
        auto *number = dialog->findChild<QLineEdit *>("txtNo");
        std->selectAll();
        QTest::keyClicks(std, "+44");
        number->selectAll();
        QTest::keyClicks(number, "2079460000");
        QTest::keyClick(number, Qt::Key_Return);
    });
    window_->cmdEditNo[11]->click();
    QVERIFY(ran);
    for (int i = 0; i < 16; ++i) {
        ChannelRow expected = before[i];
        if (i == 11)
            expected.phoneNo = "+442079460000";
        QCOMPARE(window_->row(i), expected);
    }
}

void RowCommandsTest::messageEditorOkAndCancel()
{
    for (const char *button : {"cmdCancel", "cmdOK"}) {
        bool ran = false;
        onModal<QDialog>(this, ran, [button](QDialog *dialog) {
            auto *box = dialog->findChild<QPlainTextEdit *>("txtMsg");
            box->selectAll();
            QTest::keyClicks(box, "Door open");
            QTest::keyClick(box, Qt::Key_Return);
            QTest::keyClicks(box, "Zone 4");
            dialog->findChild<QPushButton *>(button)->click();
        });
        window_->cmdEditMsg[4]->click();
        QVERIFY(ran);
    }
    QCOMPARE(window_->row(4), (ChannelRow{true, "+910000000014", "Door open\r\nZone 4"}));
    QCOMPARE(window_->row(5).message, QString("message 5"));
}

void RowCommandsTest::saveThenLoadThroughTheDialogs()
{
    window_->setRow(12, {true, "+911234567890123", "Alarm \"Zone 1\"\r\nopen, \x01\"c\""});
    const ChannelTable saved = window_->table();
    const QString path = dir_.filePath("table.txt");
    QVERIFY(chooseFile(path, window_->cmdFileSave));
    const QByteArray bytes = fileBytes(path);
    QCOMPARE(bytes.count("\r\n"), 48 + 1);

    for (int i = 0; i < 16; ++i)
        window_->setRow(i, {});
    QVERIFY(chooseFile(path, window_->cmdFileLoad));
    for (int i = 0; i < 16; ++i)
        QCOMPARE(window_->row(i), saved[i]);
}

// After a successful save, cancelling the dialog writes nothing, even though
// the dialog still offers the earlier name.
void RowCommandsTest::cancelledDialogDoesNothing()
{
    const QString path = dir_.filePath("kept.txt");
    QVERIFY(chooseFile(path, window_->cmdFileSave));
    const QByteArray bytes = fileBytes(path);
    window_->setRow(0, {true, "changed", "changed"});
    for (QPushButton *button : {window_->cmdFileSave, window_->cmdFileLoad}) {
        bool ran = false;
        onModal<QFileDialog>(this, ran, [](QFileDialog *dialog) { dialog->reject(); });
        button->click();
        QVERIFY(ran);
    }
    QCOMPARE(fileBytes(path), bytes);
    QCOMPARE(window_->row(0), (ChannelRow{true, "changed", "changed"}));
}

void RowCommandsTest::partialLoadSaysWhichChannelsWereFilled()
{
    const QString path = dir_.filePath("ten.txt");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("1\r\n\"555\"\r\n\"loaded\"\r\n").repeated(10));
    file.close();
    const ChannelTable before = window_->table();
    BoxWatcher boxes;
    QVERIFY(chooseFile(path, window_->cmdFileLoad));
    QTRY_COMPARE(boxes.boxes.size(), 1);
    QVERIFY(boxes.boxes[0].text.contains(path));
    QVERIFY(boxes.boxes[0].text.contains("Channels 1 to 10"));
    for (int i = 0; i < 16; ++i)
        QCOMPARE(window_->row(i), (i < 10 ? ChannelRow{true, "555", "loaded"} : before[i]));
}

void RowCommandsTest::failedSaveNamesTheFile()
{
    BoxWatcher boxes;
    bool ran = false;
    onModal<QFileDialog>(this, ran, [this](QFileDialog *dialog) {
        dialog->selectFile(dir_.filePath("missing/table.txt"));
        static_cast<QDialog *>(dialog)->accept();
    });
    window_->cmdFileSave->click();
    QVERIFY(ran);
    QTRY_COMPARE(boxes.boxes.size(), 1);
    QVERIFY2(boxes.boxes[0].text.contains("missing/table.txt"), qPrintable(boxes.boxes[0].text));
    QCOMPARE(boxes.boxes[0].icon, QMessageBox::Warning);
}

QTEST_MAIN(RowCommandsTest)
#include "test_row_commands.moc"
