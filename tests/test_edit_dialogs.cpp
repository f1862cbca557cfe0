#include "ui/fonts.h"
#include "dialogs/frm_edit_message.h"
#include "dialogs/frm_edit_no.h"
#include "dialogs/hand_over.h"
#include "dialogs/phone_number.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QWindow>

namespace {

// Runs the dialog modally, as the main window does, with `act` driving it
// once it is up; a dialog that act leaves open is rejected.
template <typename Act>
void runModal(QDialog &dialog, Act act)
{
    QTimer::singleShot(0, &dialog, [&] {
        if (QApplication::activeModalWidget() == &dialog)
            act();
        if (dialog.isVisible())
            dialog.reject();
    });
    dialog.exec();
}

// Types into a widget, '\r' being Enter, '\x1b' Esc and '>' End; a capital letter is typed with Ctrl.
void typeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text)
        c == u'>' ? QTest::keyClick(widget, Qt::Key_End)
                  : QTest::keyClick(widget, c.toLower().toLatin1(), c.isUpper() ? Qt::ControlModifier : Qt::NoModifier);
}

QString xs(int n) { return QString(n, u'x'); }

// Ends the dialog as the action says: "close box", "Enter on " or "Keypad Enter on " a button
// (focused first), Enter in a box, or a click on a button.
void act(QDialog &dialog, const QString &action)
{
    auto *button = dialog.findChild<QPushButton *>(action.section(' ', -1));
    if (action == "close box")
        dialog.windowHandle()->close();
    else if (action.contains("Enter on "))
        button->setFocus(Qt::TabFocusReason),
            action.startsWith("Keypad ") ? QTest::keyClick(button, Qt::Key_Enter, Qt::KeypadModifier)
                                         : QTest::keyClick(button, Qt::Key_Return);
    else if (auto *box = dialog.findChild<QLineEdit *>(action))
        QTest::keyClick(box, Qt::Key_Return);
    else if (button)
        QTest::mouseClick(button, Qt::LeftButton);
}

QString focusName(QWidget &window) { return window.focusWidget() ? window.focusWidget()->objectName() : QString(); }

}  // namespace

class TestEditDialogs : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { installFontSubstitutes(); }

    void phoneNumberEditor()
    {
        // opened: the STD code and number boxes on opening, as "std|number"; typed: then into each box, as
        // "std|number", as typeText takes it; action: a button to click, a box to press Enter in, "close box" or "";
        // outcome: the number handed back; null: cancelled; "error": error box, the boxes as typed ("error S|N": as S|N)
        auto edit = [](const QString &name, const QString &stored, const QString &opened, const QString &typed,
                       const QString &action, const QString &outcome) {
            mdiMain::gPhoneNo = stored;
            mdiMain::gPhoneNoAccepted = true;  // opening clears it
            QWidget owner;
            frmEditNo dialog(&owner);
            auto *std = dialog.findChild<QLineEdit *>("txtSTD"), *no = dialog.findChild<QLineEdit *>("txtNo");
            QVERIFY(std && no);
            QStringList seen{name};  // boxes and focus on opening; then any message box, and the boxes if still open
            runModal(dialog, [&] {
                seen << std->text() + '|' + no->text() << focusName(dialog);
                typeText(std, typed.section(u'|', 0, 0));
                typeText(no, typed.section(u'|', 1));
                QTimer::singleShot(0, &dialog, [&seen] {  // answers a message box the action raises
                    if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                        seen << box->windowTitle() << box->text() << QString("%1 %2").arg(box->icon()).arg(box->buttons().size());
                        box->done(QMessageBox::Ok);
                    }
                });
                act(dialog, action);
                if (dialog.isVisible())
                    seen << std->text() + '|' + no->text();
            });
            const bool error = outcome.startsWith("error"), accepted = !error && !outcome.isNull();
            QStringList expected{name, opened, "txtSTD"};
            if (error)  // and the dialog stays open, unchanged
                expected << "Error" << "Phone Number error!" << QString("%1 1").arg(QMessageBox::Critical)
                         << (outcome == "error" ? typed : outcome.section(' ', 1));
            QCOMPARE(seen << (mdiMain::gPhoneNoAccepted ? "accepted" : "not accepted") << mdiMain::gPhoneNo,
                     expected << (accepted ? "accepted" : "not accepted") << (accepted ? outcome : stored));
        };
        const QString no = "1234567890", plus = "+91" + no, split = "+91|" + no;
        edit("split, OK unchanged", plus, split, "|", "cmdOK", plus);
        edit("11 characters", "01234567899", "0|1234567899", "|", "cmdOK", "01234567899");
        edit("10 open empty, typing stops at 5, 10", no, "|", "+91234|" + no + "9", "cmdOK", "+9123" + no);
        edit("Enter in STD box", "", "|", "0|0123456789", "txtSTD", "00123456789");
        edit("a sign is no digit", "", "|", "0|-123456789", "txtSTD", "error");
        edit("a letter", "0123", "|", "91|12345a7890", "cmdOK", "error");
        edit("Enter checks too", "0123", "|", "91|123", "txtNo", "error");
        edit("a longer STD code may shrink, never grow", "+912345" + no, "+912345|" + no, ">8\b8|", "cmdOK", "error +91234|" + no);
        edit("Delete, even invalid input", plus, split, "x|", "cmdDelete", "");
        // Enter on a focused button presses that button, not the default OK.
        edit("keypad Enter on Cancel", plus, split, "9|", "Keypad Enter on cmdCancel", QString());
        edit("Enter on Delete", plus, split, "9|", "Enter on cmdDelete", "");
        edit("Enter on OK checks", "0123", "|", "91|123", "Enter on cmdOK", "error");
        for (const char *action : {"cmdCancel", "close box"})
            edit(action, plus, split, "9|", action, QString());
    }

    void messageEditor()
    {
        // lines: in the box on opening; typed: at the end (at the start after a '^'), as typeText takes it;
        // count: on the counter after typing, without any change as on opening; handedBack: or, without OK,
        // the stored message left as it was
        auto edit = [](const QString &name, const QString &stored, int lines, const QString &typed, const QString &clipboard,
                       int count, const QString &closeBy, const QString &handedBack) {
            mdiMain::gMessage = stored;
            mdiMain::gMessageAccepted = true;  // opening clears it
            QWidget owner;
            frmEditMessage dialog(&owner);
            auto *msg = dialog.findChild<QPlainTextEdit *>("txtMsg");
            auto *chars = dialog.findChild<QLabel *>("lblChars");
            QVERIFY(msg && chars);
            QApplication::clipboard()->setText(clipboard);  // for a paste
            QStringList seen{name};  // focus and lines on opening; counter, focus after typing and Tab; still open
            runModal(dialog, [&] {
                seen << focusName(dialog) << QString::number(msg->blockCount());
                msg->moveCursor(typed.startsWith('^') ? QTextCursor::Start : QTextCursor::End);
                typeText(msg, typed.startsWith('^') ? typed.sliced(1) : typed);
                QTest::keyClick(msg, Qt::Key_Tab);
                QCoreApplication::processEvents();  // a change past the limit is taken back once it has finished
                seen << chars->text() << focusName(dialog);
                act(dialog, closeBy);
            });
            QCOMPARE(seen << (mdiMain::gMessageAccepted ? "accepted" : "not accepted") << mdiMain::gMessage,
                     QStringList({name, "txtMsg", QString::number(lines), QString("%1/160").arg(count), "cmdCancel",
                                  closeBy.endsWith("cmdOK") ? "accepted" : "not accepted", handedBack}));
        };
        edit("Enter adds CR LF, Esc nothing", "", 1, "hi\x1b\ryou", "", 7, "cmdOK", "hi\r\nyou");
        edit("typing stops at 160, Enter needs 2", xs(158), 1, "a\rb", "", 160, "cmdOK", xs(158) + "ab");
        edit("paste cut, its break needs 2", xs(157), 1, "V", "ab\r\nc", 159, "cmdOK", xs(157) + "ab");
        edit("undo past the limit taken back", xs(170), 1, "AXZ", "", 0, "cmdOK", "");
        for (const char *closeBy : {"cmdCancel", "close box", "Enter on cmdCancel"})
            edit(closeBy, "Fire", 1, " door", "", 9, closeBy, "Fire");
        edit("Enter on OK", "Fire", 1, " door", "", 9, "Enter on cmdOK", "Fire door");
        // Line breaks from the modem or a file show as one break each, come back as they were, and
        // count as they are stored.
        for (const auto &[breaks, lines] : {std::pair{"\n", 2}, {"\r", 2}, {"\r\r", 3}, {"\r\n", 2}, {"\n\r", 3}})
            edit("untouched " + QString::fromLatin1(QByteArray(breaks).toPercentEncoding()), "A" + QString(breaks) + "B", lines,
                 "", "", 2 + int(strlen(breaks)), "cmdOK", "A" + QString(breaks) + "B");
        edit("typed before an untouched end", "A\r\nB\rC\n", 4, "^x", "", 8, "cmdOK", "xA\r\nB\rC\n");
        const QString full = xs(79) + "\n" + xs(80);
        edit("160 with a lone LF is full", full, 2, "a\r", "", 160, "cmdOK", full);
        edit("typed break is CR LF, loaded LF kept", "A\nB", 2, "\rc", "", 6, "cmdOK", "A\nB\r\nc");
    }

    // A message longer than the box shows a scroll bar; a short one none.
    void messageScrolls()
    {
        QWidget owner;
        QStringList bars;
        for (const QString &message : {QString("one line"), QString("line\r\n").repeated(30)}) {
            mdiMain::gMessage = message;
            frmEditMessage dialog(&owner);
            runModal(dialog, [&] {
                QScrollBar *bar = dialog.findChild<QPlainTextEdit *>("txtMsg")->verticalScrollBar();
                bars << QString::number(QTest::qWaitFor([bar] { return bar->isVisible(); }, 500));
            });
        }
        QCOMPARE(bars, QStringList({"0", "1"}));
    }

    // Ten digits 0-9 and an STD code of "+" or nothing and one to four digits, in any locale.
    void phoneNumberCheck()
    {
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));  // decimal comma
        const QList<std::pair<QString, QString>> refused{
            {"91", "-123456789"}, {"91", "12345.6789"}, {"91", " 123456789"}, {"91", "123456789."}, {"-.5", "1234567890"},
            {"91", "12345,6789"}, {"91", "12345678901"}, {"+", "1234567890"}, {"", "1234567890"}, {"12345", "1234567890"},
            {"+91 ", "1234567890"}, {"+-9", "1234567890"}, {"91", "\u0661234567890"}, {"\u0669\u0661", "1234567890"}};
        for (const auto &[std, number] : refused)
            QVERIFY2(!isValidPhoneNumber({std, number}), qPrintable(std + '|' + number));
        for (const char *std : {"+91", "0", "+1234", "1234"})
            QVERIFY2(isValidPhoneNumber({std, "0987654321"}), std);
        QLocale::setDefault(QLocale::system());
        // The dialog says what it takes, in a line of its own under the boxes.
        QWidget owner;
        frmEditNo dialog(&owner);
        auto *hint = dialog.findChild<QLabel *>("lblHint");
        QVERIFY(hint && hint->text() == "STD code: +91; number: ten digits" && dialog.rect().contains(hint->geometry()));
        for (QWidget *other : dialog.findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            QVERIFY2(other == hint || !other->geometry().intersects(hint->geometry()), qPrintable(other->objectName()));
    }
};

QTEST_MAIN(TestEditDialogs)
#include "test_edit_dialogs.moc"
