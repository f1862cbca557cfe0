#include "app/fonts.h"
#include "dialogs/frm_edit_message.h"
#include "dialogs/frm_edit_no.h"
#include "dialogs/hand_over.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <functional>

namespace {

struct SeenMessageBox {
    bool shown = false;
    QString text, title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    qsizetype buttons = 0;
};

// Answers the next modal message box with OK, noting what it showed. Arm it
// just before the action that may raise one; the guard's end cancels it.
void answerNextMessageBox(QObject *guard, SeenMessageBox &seen)
{
    QTimer::singleShot(0, guard, [&seen] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen = {true, box->text(), box->windowTitle(), box->icon(), box->buttons().size()};
        if (QAbstractButton *ok = box->button(QMessageBox::Ok))
            ok->click();
        else
            box->reject();
    });
}

// Runs the dialog modally, as the main window does, with `act` driving it
// once it is up; a dialog that act leaves open is rejected. False if act never ran.
bool runModal(QDialog &dialog, const std::function<void()> &act)
{
    bool ran = false;
    QTimer::singleShot(0, &dialog, [&] {
        if (QApplication::activeModalWidget() != &dialog)
            return;
        ran = true;
        act();
        if (dialog.isVisible())
            dialog.reject();
    });
    dialog.exec();
    return ran;
}

// Types into a widget: '\n' presses Enter, '\x1b' Esc.
void typeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        if (c == u'\n')
            QTest::keyClick(widget, Qt::Key_Return);
        else if (c == u'\x1b')
            QTest::keyClick(widget, Qt::Key_Escape);
        else
            QTest::keyClicks(widget, QString(c));
    }
}

// Closes the window the way its title-bar close box does.
void pressCloseBox(QWidget *window) { window->windowHandle()->close(); }

QString xs(int n) { return QString(n, u'x'); }

}  // namespace

class TestEditDialogs : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { installFontSubstitutes(); }
    void phoneNumberEditor_data();
    void phoneNumberEditor();
    void messageEditor_data();
    void messageEditor();
    void messageDropIsCutToFit();
    void messageChangePastLimitIsTakenBack_data();
    void messageChangePastLimitIsTakenBack();
    void messageEnterOnAButtonDoesNothing();
};

void TestEditDialogs::phoneNumberEditor_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("openStd");
    QTest::addColumn<QString>("openNo");
    QTest::addColumn<QString>("typedStd");
    QTest::addColumn<QString>("typedNo");
    QTest::addColumn<QString>("action");  // a button name, "Enter in <box>", "Esc" or "close box"
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("handedBack");  // when accepted
    QTest::addColumn<bool>("errorBox");

    const QString no = "1234567890";
    QTest::newRow("split, OK unchanged") << "+91" + no << "+91" << no << "" << "" << "cmdOK" << true << "+91" + no << false;
    QTest::newRow("11 characters") << "9" + no << "9" << no << "" << "" << "cmdOK" << true << "9" + no << false;
    QTest::newRow("10 characters open empty") << no << "" << "" << "+91" << no << "cmdOK" << true << "+91" + no << false;
    QTest::newRow("signed number passes") << "" << "" << "" << "0" << "-123456789" << "cmdOK" << true << "0-123456789" << false;
    QTest::newRow("typing stops at 5 and 10") << "" << "" << "" << "+91234" << no + "9" << "cmdOK" << true << "+9123" + no << false;
    QTest::newRow("Enter in txtSTD") << "" << "" << "" << "44" << no << "Enter in txtSTD" << true << "44" + no << false;
    QTest::newRow("Enter in txtNo") << "" << "" << "" << "44" << no << "Enter in txtNo" << true << "44" + no << false;
    QTest::newRow("empty STD code") << "0123" << "" << "" << "" << no << "cmdOK" << false << "" << true;
    QTest::newRow("9 characters") << "0123" << "" << "" << "91" << "123456789" << "cmdOK" << false << "" << true;
    QTest::newRow("a letter") << "0123" << "" << "" << "91" << "12345a7890" << "cmdOK" << false << "" << true;
    QTest::newRow("inner blank") << "0123" << "" << "" << "91" << "12345 7890" << "cmdOK" << false << "" << true;
    QTest::newRow("Enter checks too") << "0123" << "" << "" << "91" << "123" << "Enter in txtNo" << false << "" << true;
    QTest::newRow("Delete") << "+91" + no << "+91" << no << "" << "" << "cmdDelete" << true << "" << false;
    QTest::newRow("Delete invalid input") << "" << "" << "" << "x" << "12" << "cmdDelete" << true << "" << false;
    QTest::newRow("Cancel") << "+91" + no << "+91" << no << "9" << "" << "cmdCancel" << false << "" << false;
    QTest::newRow("Esc") << "+91" + no << "+91" << no << "9" << "" << "Esc" << false << "" << false;
    QTest::newRow("close box") << "+91" + no << "+91" << no << "9" << "" << "close box" << false << "" << false;
}

void TestEditDialogs::phoneNumberEditor()
{
    QFETCH(QString, stored);
    QFETCH(QString, openStd);
    QFETCH(QString, openNo);
    QFETCH(QString, typedStd);
    QFETCH(QString, typedNo);
    QFETCH(QString, action);
    QFETCH(bool, accepted);
    QFETCH(QString, handedBack);
    QFETCH(bool, errorBox);

    mdiMain::gPhoneNo = stored;
    mdiMain::gPhoneNoAccepted = true;  // opening clears it
    QWidget owner;
    frmEditNo dialog(&owner);
    QStringList opened, afterAction;
    bool focusInStd = false, stayedOpen = false;
    SeenMessageBox seen;
    QVERIFY(runModal(dialog, [&] {
        auto *std = dialog.findChild<QLineEdit *>("txtSTD");
        auto *no = dialog.findChild<QLineEdit *>("txtNo");
        if (!std || !no)
            return;
        opened = {std->text(), no->text()};
        focusInStd = dialog.focusWidget() == std;
        QTest::keyClicks(std, typedStd);
        QTest::keyClicks(no, typedNo);
        answerNextMessageBox(&dialog, seen);
        if (action == "close box")
            pressCloseBox(&dialog);
        else if (action == "Esc")
            QTest::keyClick(no, Qt::Key_Escape);
        else if (action.startsWith("Enter in "))
            QTest::keyClick(dialog.findChild<QLineEdit *>(action.mid(9)), Qt::Key_Return);
        else if (auto *button = dialog.findChild<QPushButton *>(action))
            QTest::mouseClick(button, Qt::LeftButton);
        stayedOpen = dialog.isVisible();
        afterAction = {std->text(), no->text()};
    }));

    QCOMPARE(opened, QStringList({openStd, openNo}));
    QVERIFY(focusInStd);
    QCOMPARE(seen.shown, errorBox);
    QCOMPARE(stayedOpen, errorBox);
    if (errorBox) {
        QCOMPARE(seen.text, "Phone Number error!");
        QCOMPARE(seen.title, "Error");
        QCOMPARE(seen.icon, QMessageBox::Critical);
        QCOMPARE(seen.buttons, 1);
        QCOMPARE(afterAction, QStringList({openStd + typedStd, openNo + typedNo}));
    }
    QCOMPARE(mdiMain::gPhoneNoAccepted, accepted);
    QCOMPARE(mdiMain::gPhoneNo, accepted ? handedBack : stored);
}

void TestEditDialogs::messageEditor_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("counterOnOpen");
    QTest::addColumn<QString>("typed");   // at the end of the text
    QTest::addColumn<QString>("pasted");  // after typing; null: no paste
    QTest::addColumn<QString>("counter");
    QTest::addColumn<QString>("closeBy");
    QTest::addColumn<QString>("handedBack");  // with OK; otherwise gMessage stays as stored

    const QString fire = "Fire\r\nExit";
    QTest::newRow("25 characters") << "Intruder alarm in zone 3." << "25/160" << "" << QString() << "25/160" << "cmdOK" << "Intruder alarm in zone 3.";
    QTest::newRow("CR LF") << fire << "10/160" << "" << QString() << "10/160" << "cmdOK" << fire;
    QTest::newRow("lone CR") << "Fire\rExit" << "10/160" << "" << QString() << "10/160" << "cmdOK" << fire;
    QTest::newRow("other characters exact") << "a\u00a0b\tc " << "6/160" << "" << QString() << "6/160" << "cmdOK" << "a\u00a0b\tc ";
    QTest::newRow("empty") << "" << "0/160" << "" << QString() << "0/160" << "cmdOK" << "";
    QTest::newRow("Enter adds CR LF") << "" << "0/160" << "hi\nyou" << QString() << "7/160" << "cmdOK" << "hi\r\nyou";
    QTest::newRow("typing stops at 160") << xs(158) << "158/160" << "abc" << QString() << "160/160" << "cmdOK" << xs(158) + "ab";
    QTest::newRow("Enter with one left") << xs(159) << "159/160" << "\n" << QString() << "159/160" << "cmdOK" << xs(159);
    QTest::newRow("long message kept, no growth") << xs(170) << "170/160" << "a" << QString() << "170/160" << "cmdOK" << xs(170);
    QTest::newRow("paste counted") << "" << "0/160" << "" << fire << "10/160" << "cmdOK" << fire;
    QTest::newRow("paste cut") << xs(157) << "157/160" << "" << "abcdef" << "160/160" << "cmdOK" << xs(157) + "abc";
    QTest::newRow("pasted break needs two") << xs(158) << "158/160" << "" << "a\r\nb" << "159/160" << "cmdOK" << xs(158) + "a";
    QTest::newRow("Esc does nothing") << "Fire" << "4/160" << "\x1b!" << QString() << "5/160" << "cmdOK" << "Fire!";
    QTest::newRow("Cancel") << "Fire" << "4/160" << " door" << QString() << "9/160" << "cmdCancel" << "";
    QTest::newRow("close box") << "Fire" << "4/160" << " door" << QString() << "9/160" << "close box" << "";
}

void TestEditDialogs::messageEditor()
{
    QFETCH(QString, stored);
    QFETCH(QString, counterOnOpen);
    QFETCH(QString, typed);
    QFETCH(QString, pasted);
    QFETCH(QString, counter);
    QFETCH(QString, closeBy);
    QFETCH(QString, handedBack);

    mdiMain::gMessage = stored;
    mdiMain::gMessageAccepted = true;  // opening clears it
    QWidget owner;
    frmEditMessage dialog(&owner);
    QString openCaption, caption;
    QWidget *focusOnOpen = nullptr, *focusAfterTab = nullptr;
    bool openBeforeClose = false;
    QVERIFY(runModal(dialog, [&] {
        auto *msg = dialog.findChild<QPlainTextEdit *>("txtMsg");
        auto *chars = dialog.findChild<QLabel *>("lblChars");
        if (!msg || !chars)
            return;
        openCaption = chars->text();
        focusOnOpen = dialog.focusWidget();
        msg->moveCursor(QTextCursor::End);
        typeText(msg, typed);
        if (!pasted.isNull()) {
            QApplication::clipboard()->setText(pasted);
            QTest::keyClick(msg, Qt::Key_V, Qt::ControlModifier);
        }
        caption = chars->text();
        QTest::keyClick(msg, Qt::Key_Tab);
        focusAfterTab = dialog.focusWidget();
        openBeforeClose = dialog.isVisible();
        if (closeBy == "close box")
            pressCloseBox(&dialog);
        else if (auto *button = dialog.findChild<QPushButton *>(closeBy))
            QTest::mouseClick(button, Qt::LeftButton);
    }));

    QCOMPARE(openCaption, counterOnOpen);
    QCOMPARE(focusOnOpen, dialog.findChild<QWidget *>("txtMsg"));
    QCOMPARE(caption, counter);
    QCOMPARE(focusAfterTab, dialog.findChild<QWidget *>("cmdCancel"));
    QVERIFY(openBeforeClose);
    const bool ok = closeBy == "cmdOK";
    QCOMPARE(mdiMain::gMessageAccepted, ok);
    QCOMPARE(mdiMain::gMessage, ok ? handedBack : stored);
}

void TestEditDialogs::messageDropIsCutToFit()
{
    mdiMain::gMessage = xs(157);
    QWidget owner;
    frmEditMessage dialog(&owner);
    dialog.show();
    auto *msg = dialog.findChild<QPlainTextEdit *>("txtMsg");
    QVERIFY(msg);
    msg->moveCursor(QTextCursor::End);

    QMimeData data;
    data.setText("abcdef");
    const QPoint at = msg->cursorRect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(msg->viewport(), &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(msg->viewport(), &drop);

    QCOMPARE(msg->toPlainText(), xs(157) + "abc");
    QCOMPARE(dialog.findChild<QLabel *>("lblChars")->text(), "160/160");
}

void TestEditDialogs::messageChangePastLimitIsTakenBack_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("committed");  // by an input method; empty: clear the box, then undo
    QTest::addColumn<QString>("shown");

    QTest::newRow("input method past the limit") << xs(159) << "abc" << xs(159);
    QTest::newRow("input method within the limit") << xs(159) << "a" << xs(159) + "a";
    QTest::newRow("undo growing a long message back") << xs(170) << "" << "";
}

void TestEditDialogs::messageChangePastLimitIsTakenBack()
{
    QFETCH(QString, stored);
    QFETCH(QString, committed);
    QFETCH(QString, shown);

    mdiMain::gMessage = stored;
    QWidget owner;
    frmEditMessage dialog(&owner);
    dialog.show();
    auto *msg = dialog.findChild<QPlainTextEdit *>("txtMsg");
    QVERIFY(msg);
    msg->moveCursor(QTextCursor::End);

    if (committed.isEmpty()) {
        QTest::keyClick(msg, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(msg, Qt::Key_Delete);
        QTest::keyClick(msg, Qt::Key_Z, Qt::ControlModifier);
    } else {
        QInputMethodEvent commit;
        commit.setCommitString(committed);
        QApplication::sendEvent(msg, &commit);
    }

    QTRY_COMPARE(msg->toPlainText(), shown);
    QCOMPARE(dialog.findChild<QLabel *>("lblChars")->text(), QString("%1/160").arg(shown.size()));
}

// Neither button is a default one, whichever has the focus.
void TestEditDialogs::messageEnterOnAButtonDoesNothing()
{
    mdiMain::gMessageAccepted = false;
    QWidget owner;
    frmEditMessage dialog(&owner);
    dialog.show();
    for (const char *name : {"cmdOK", "cmdCancel"}) {
        auto *button = dialog.findChild<QPushButton *>(name);
        QVERIFY(button);
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Return);
        QVERIFY2(dialog.isVisible(), name);
        QVERIFY(!mdiMain::gMessageAccepted);
    }
}

QTEST_MAIN(TestEditDialogs)
#include "test_edit_dialogs.moc"
