// The main window: start-up state, layout, COM port names, connect and
// disconnect against a simulated modem on a pseudo-terminal.
#include "app/application_identity.h"
#include "app/connection_lamp.h"
#include "app/main_window.h"
#include "app/message_label.h"
#include "app/window_placement.h"
#include "dialogs/frm_edit_message.h"
#include "dialogs/frm_edit_no.h"
#include "dialogs/progress_window.h"
#include "sim_fixture.h"
#include "ui/after_first_paint.h"
#include "ui/fonts.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <cmath>

namespace {

QStringList items(const QComboBox *box)
{
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list << box->itemText(i);
    return list;
}

QStringList numbered(const char *pattern, int count, int width = 0)
{
    QStringList list;
    for (int n = 1; n <= count; ++n)
        list << QString(pattern).arg(n, width, 10, QChar('0'));
    return list;
}

// Clicks the button and picks the path in the file dialog it opens; returns whether the dialog came.
bool chooseFile(QPushButton *button, const QString &path)
{
    bool ran = false;
    QTimer::singleShot(0, button, [&ran, path] {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            ran = true;
            dialog->selectFile(path);
            static_cast<QDialog *>(dialog)->accept();
        }
    });
    button->click();
    return ran;
}

QString heard(QWidget *widget, QAccessible::Text text)
{
    return QAccessible::queryAccessibleInterface(widget)->text(text);
}

// The controls of a window whose name a screen reader says is empty or another
// control's; a list is named by its label, and shares that label's name.
QStringList unnamedOrShared(QWidget *window)
{
    QMap<QString, QObject *> named;
    QStringList faults;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        const QMetaObject *kind = w->metaObject();  // a bare area or border carries nothing to say
        bool inner = w->window() != window || kind == &QWidget::staticMetaObject || kind == &QFrame::staticMetaObject;
        for (QWidget *p = w; p != window; p = p->parentWidget())
            inner |= p->objectName().startsWith("qt_") || p->inherits("QScrollArea") || qobject_cast<QComboBox *>(p->parentWidget());
        QAccessibleInterface *said = QAccessible::queryAccessibleInterface(w), *label = said->relations(QAccessible::Label).value(0).first;
        if (qobject_cast<QComboBox *>(w) || (label && qobject_cast<QLabel *>(label->object())))
            said = label;
        const QString name = said ? said->text(QAccessible::Name) : QString();
        if (!inner && (name.isEmpty() || named.value(name, said->object()) != said->object()))
            faults << w->objectName() + ": '" + name + "'";
        named[name] = said && !inner ? said->object() : named.value(name);
    }
    return faults;
}

// The caption of each control that has a mnemonic, with its key.
QStringList mnemonics(QWidget *window)
{
    QStringList keys;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        auto *label = qobject_cast<QLabel *>(w);
        const QString caption = qobject_cast<QAbstractButton *>(w) ? qobject_cast<QAbstractButton *>(w)->text()
                                : label && label->buddy() ? label->text()
                                : qobject_cast<QGroupBox *>(w) ? qobject_cast<QGroupBox *>(w)->title() : QString();
        if (const QKeySequence key = QKeySequence::mnemonic(caption); !key.isEmpty() && w->window() == window)
            keys << QString(caption).remove('&') + ' ' + key.toString();
    }
    keys.sort();
    return keys;
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { installFontSubstitutes(); }
    // One shown window, looked at in turn: the start-up state; each frame's
    // caption on its border; what a screen reader hears and the Tab order;
    // then the phone boxes (these change rows, the font and what is enabled).
    void shownWindow()
    {
        frmMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QCOMPARE(window.windowTitle(), QString("Telvarin"));
        QCOMPARE(window.size(), QSize(1017, 437));  // 15255 by 6555 twips, fixed
        QCOMPARE(items(window.findChild<QComboBox *>("cmbComm")), numbered("COM %1", 255));
        QCOMPARE(items(window.findChild<QComboBox *>("cmbSlaveID")), numbered("%1", 32, 2));
        QCOMPARE(window.cmbComm->currentText() + ' ' + window.cmbSlaveID->currentText(), QString("COM 1 01"));
        QStringList rows;
        for (int i = 0; i < 16; ++i) {
            auto *check = window.findChild<QCheckBox *>(QString("chkChEnable_%1").arg(i));
            auto *phone = window.findChild<QLineEdit *>(QString("txtPhoneNo_%1").arg(i));
            rows << QStringList{check->text(), check->isChecked() ? "on" : "off", phone->text(),
                                phone->isEnabled() ? "editable" : "locked",
                                window.findChild<QLabel *>(QString("lblMessage_%1").arg(i))->text(),
                                window.findChild<QPushButton *>(QString("cmdEditNo_%1").arg(i))->text(),
                                window.findChild<QPushButton *>(QString("cmdEditMsg_%1").arg(i))->text()}
                        .join('|');
        }
        QCOMPARE(rows, numbered("Channel %1|off||locked||Edit No.|Edit Msg.", 16));
        QCOMPARE(connectionState(window), QString("Connect #808080 no functions closed"));
        QVERIFY(window.cmdFileLoad->isEnabled());
        // Each frame's caption sits on its top border line, and no control of
        // the frame covers the line or the caption: judged from the pixels the
        // frame itself paints, drawn without its children.
        for (QGroupBox *frame : window.findChildren<QGroupBox *>()) {
            QImage image(frame->size(), QImage::Format_RGB32);
            frame->render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground);
            const QRgb background = image.pixel(frame->width() / 2, frame->height() / 2);
            auto drawn = [&](int x, int y) { return image.pixel(x, y) != background; };
            int line = 0;  // the top border: the first row drawn across the right half
            while (line < frame->height() && !drawn(frame->width() * 3 / 4, line))
                ++line;
            bool above = false, below = false;
            for (int x = 4; x < frame->width() / 2; ++x) {
                for (int y = 0; y < line; ++y)
                    above |= drawn(x, y);
                for (int y = line + 2; y < line + 5; ++y)
                    below |= drawn(x, y);
            }
            QVERIFY2(above && below, qPrintable(frame->objectName()));
            for (auto *child : frame->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
                const QRect area = child->geometry() & image.rect();
                for (int x = area.left(); x <= area.right(); ++x)
                    for (int y = area.top(); y <= area.bottom(); ++y)
                        QVERIFY2(!drawn(x, y), qPrintable(child->objectName() + " covers the border of " + frame->objectName()));
            }
        }
        // A screen reader tells the rows apart; Tab reaches every usable control
        // in reading order: the left column, the table row by row, Exit.
        window.setRow(2, {false, "", "Fire\r\nexit"});
        // The lamp is its colour inside a black line; a message field is navy with white text.
        auto shown = [&window](QWidget *w) { return window.grab(QRect(w->mapTo(&window, QPoint(0, 0)), w->size())).toImage(); };
        const QImage lamp = shown(window.shpComm), field = shown(window.lblMessage[2]);
        QCOMPARE(QList<QColor>({lamp.pixel(0, 0), lamp.pixel(lamp.width() / 2, lamp.height() / 2), field.pixel(field.width() - 1, 0)}),
                 QList<QColor>({Qt::black, QColor(128, 128, 128), QColor(0, 0, 128)}));
        bool whiteText = false;  // the stem of the 'F' crosses the middle line
        for (int x = 0; x < field.width() / 4; ++x)
            whiteText |= qGray(field.pixel(x, field.height() / 2)) > 200;
        QVERIFY(whiteText);
        QStringList said;
        for (QWidget *w : std::initializer_list<QWidget *>{window.chkChEnable[2], window.txtPhoneNo[2], window.lblMessage[2],
                                                           window.cmdEditNo[2], window.cmdEditMsg[2], window.lblMessage[15]})
            said << heard(w, QAccessible::Name) + " / " + heard(w, QAccessible::Description);
        QCOMPARE(said, QStringList({"Channel 3 on / Channel 3 sends its message when checked",
                                    "Phone number of channel 3 / The number channel 3 sends its message to",
                                    "Message of channel 3 / The message of channel 3: Fire exit",
                                    "Edit No. of channel 3 / Edit the phone number of channel 3",
                                    "Edit Msg. of channel 3 / Edit the message of channel 3",
                                    "Message of channel 16 / Channel 16 has no message"}));
        QStringList expected{"cmbComm", "cmdConnect", "cmbSlaveID", "cmdFileLoad", "cmdFileSave"}, order;
        for (int i = 0; i < 16; ++i)
            expected << QString("chkChEnable_%1").arg(i) << QString("cmdEditNo_%1").arg(i) << QString("cmdEditMsg_%1").arg(i);
        expected << "cmdExit" << "cmbComm";
        window.cmbComm->setFocus();
        while (order.size() < expected.size()) {
            QWidget *focus = QApplication::focusWidget();
            order << (qobject_cast<QComboBox *>(focus->parentWidget()) ? focus->parentWidget() : focus)->objectName();
            QTest::keyClick(focus, Qt::Key_Tab);
        }
        QCOMPARE(order, expected);
        // Both phone columns lie wholly inside the window.
        for (QWidget *w : std::initializer_list<QWidget *>{window.txtPhoneNo[15], window.cmdEditNo[15]})
            QVERIFY2(window.rect().contains(QRect(w->mapTo(&window, QPoint(0, 0)), w->size())), qPrintable(w->objectName()));

        window.setRow(3, {true, "+9198765432101234567", ""});  // too long for the box: shown from its '+'
        QLineEdit *box = window.txtPhoneNo[3];
        box->grab();  // a line edit works out its scrolling when it paints; a disabled box cannot scroll
        QVERIFY(box->fontMetrics().horizontalAdvance(box->text()) > box->width()
                && box->cursorPositionAt(QPoint(4, box->height() / 2)) == 0);
    }

    // With either face the package brings, a 15-character number shows whole (it ends before
    // a longer one), with 4.5:1 contrast; each box and its Edit No. button name the channel.
    void phoneBoxes()
    {
        auto luminance = [](QRgb c) {  // relative luminance as the 4.5:1 rule defines it
            auto linear = [](int v) { return v <= 10 ? v / 255.0 / 12.92 : std::pow((v / 255.0 + 0.055) / 1.055, 2.4); };
            return 0.2126 * linear(qRed(c)) + 0.7152 * linear(qGreen(c)) + 0.0722 * linear(qBlue(c));
        };
        for (const char *face : {"Liberation Sans", "DejaVu Sans"}) {
            QFont::removeSubstitutions("MS Sans Serif");
            QFont::insertSubstitution("MS Sans Serif", face);
            frmMain window;
            installFontSubstitutes();
            QLineEdit *box = window.txtPhoneNo[10];
            QCOMPARE(QFontInfo(box->font()).family(), QString(face));
            auto shown = [box](const QString &number) {  // the last column of ink and the darkest pixel
                box->setText(number);
                const QImage image = box->grab().toImage();
                std::pair ink{0, qRgb(255, 255, 255)};
                for (int x = 3; x < image.width() - 3; ++x)
                    for (int y = 3; y < image.height() - 3; ++y)
                        if (qGray(image.pixel(x, y)) < 128)
                            ink = {x, qGray(image.pixel(x, y)) < qGray(ink.second) ? image.pixel(x, y) : ink.second};
                return ink;
            };
            const auto [end, ink] = shown("+44207946009999");
            QVERIFY2(shown("+442079460099999999").first > end + 1, face);
            QVERIFY((luminance(box->grab().toImage().pixel(4, 4)) + 0.05) / (luminance(ink) + 0.05) >= 4.5);
            QCOMPARE(box->toolTip() + " / " + window.cmdEditNo[10]->toolTip(),
                     QString("Phone number of channel 11 / Edit the phone number of channel 11"));
        }
    }

    // Each control has a name of its own for a screen reader, in every window. Alt and a letter
    // reach each button and list, no letter twice in a window; Enter presses the focused button;
    // a stray letter in the port list leaves the chosen port.
    void keysAndNames()
    {
        SimulatedPort port;
        BoxWatcher boxes;
        frmMain window(port.directory());
        frmEditNo number(nullptr);
        frmEditMessage message(nullptr);
        frmProgress progress(nullptr);
        for (QWidget *w : std::initializer_list<QWidget *>{&window, &number, &message, &progress})
            QVERIFY2(unnamedOrShared(w).isEmpty(), qPrintable(unnamedOrShared(w).join(", ")));
        QCOMPARE(heard(window.Frame3, QAccessible::Name), QString("Phone Numbers"));
        QCOMPARE(mnemonics(&window), QStringList({"Connect Alt+C", "Exit Alt+X", "Load from File Alt+L", "Port No. Alt+P",
                                                  "Read from Device Alt+R", "Save to File Alt+S", "Slave ID Alt+I", "Write to Device Alt+W"}));
        QCOMPARE(mnemonics(&number), QStringList({"Cancel Alt+C", "Delete Alt+D", "OK Alt+O", "Phone Number Alt+N", "STD Code Alt+S"}));
        QCOMPARE(mnemonics(&message), QStringList({"Cancel Alt+C", "OK Alt+O"}));
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto focusIn = [](QWidget *w) { return w == QApplication::focusWidget() || w->isAncestorOf(QApplication::focusWidget()); };
        QVERIFY(focusIn(window.cmbComm));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_I, Qt::AltModifier);
        QVERIFY(focusIn(window.cmbSlaveID));
        window.cmbComm->lineEdit()->setFocus();
        QTest::keyClick(window.cmbComm->lineEdit(), Qt::Key_C, Qt::AltModifier);
        QTRY_COMPARE(connectionState(window) + ' ' + window.cmbComm->currentText(), QString("Disconnect #00ff00 functions open COM 1"));
        window.cmdConnect->setFocus();
        QTest::keyClick(window.cmdConnect, Qt::Key_Return);
        QCOMPARE(connectionState(window), QString("Connect #000000 no functions closed"));
        window.cmbComm->lineEdit()->setFocus();
        QTest::keyClicks(window.cmbComm->lineEdit(), "x");  // after "COM 1": no entry
        QTest::keyClick(window.cmbComm->lineEdit(), Qt::Key_C, Qt::AltModifier);
        QTRY_COMPARE(connectionState(window) + ' ' + window.cmbComm->currentText(), QString("Disconnect #00ff00 functions open COM 1"));
        QVERIFY(boxes.boxes.isEmpty());
    }

    // On a screen smaller than the window it fits the screen and Tab scrolls to channel 16's
    // Edit No.; on a larger one nothing changes. A right-to-left layout changes nothing either.
    void screens()
    {
        for (int width : {1024, 800}) {
            frmMain window;
            window.fitToScreen(QRect(0, 0, 1920, 1040));
            QCOMPARE(window.size(), QSize(1017, 437));
            window.fitToScreen(QRect(0, 0, width, 600));
            window.show();
            QVERIFY(QTest::qWaitForWindowActive(&window));
            window.chkChEnable[15]->setFocus();
            QTest::keyClick(window.chkChEnable[15], Qt::Key_Tab);
            QWidget *button = window.cmdEditNo[15];
            QVERIFY(window.width() <= width - 8 && window.findChild<QScrollArea *>()->horizontalScrollBar()->isVisible());
            QVERIFY(button->hasFocus() && window.rect().contains(QRect(button->mapTo(&window, QPoint()), button->size())));
        }
        QList<QImage> looks;
        for (Qt::LayoutDirection direction : {Qt::LeftToRight, Qt::RightToLeft}) {
            QGuiApplication::setLayoutDirection(direction);
            frmMain window;
            frmEditNo number(&window);
            frmProgress progress(&window);
            progress.setMessage("Reading from device ...");
            looks << window.grab().toImage() << number.grab().toImage() << progress.grab().toImage();
        }
        QGuiApplication::setLayoutDirection(Qt::LeftToRight);
        QVERIFY(looks.mid(3) == looks.first(3));
    }

    // Work put off until a window is first painted runs once, after that paint.
    void workAfterFirstPaint()
    {
        struct Counted : QWidget {
            int paints = 0;
            void paintEvent(QPaintEvent *) override { ++paints; }
        } window;
        QList<int> paintsSeen;
        afterFirstPaint(&window, [&] { paintsSeen << window.paints; });
        window.show();
        QTRY_VERIFY(!paintsSeen.isEmpty());
        window.repaint();
        QCoreApplication::processEvents();
        QCOMPARE(paintsSeen, QList<int>{1});
    }

    // Centred on the screen, but never with the left or top edge off it.
    void startPosition()
    {
        QCOMPARE(::startPosition(QRect(0, 0, 1920, 1040), QSize(1020, 470)), QPoint(450, 285));
        QCOMPARE(::startPosition(QRect(48, 24, 800, 400), QSize(1020, 470)), QPoint(48, 24));  // narrower and lower, left panel
    }

    // Docks match the window to its launcher: the window class (the
    // application name) is the desktop entry's StartupWMClass, the Wayland
    // app id the entry's file name, which the metainfo launches.
    void desktopIdentity()
    {
        setApplicationIdentity();
        const QString id = QGuiApplication::desktopFileName();
        const QByteArray entry = readFile(QString(TELVARIN_PACKAGING "/%1.desktop").arg(id));
        const QByteArray launcher = readFile(QString(TELVARIN_PACKAGING "/%1.metainfo.xml").arg(id));
        QVERIFY2(entry.split('\n').contains("StartupWMClass=" + QCoreApplication::applicationName().toUtf8()), qPrintable(id));
        QVERIFY(launcher.contains("<id>" + id.toUtf8() + "</id>")
                && launcher.contains("<launchable type=\"desktop-id\">" + id.toUtf8() + ".desktop</launchable>"));
    }

    // Present ports carry a mark and a tooltip naming their device; opening
    // the list looks again, so a device that appeared meanwhile is marked.
    void portListMarksPresentPorts()
    {
        QTemporaryDir ports;
        QFile device(ports.filePath("adapter"));
        QVERIFY(device.open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(device.fileName(), ports.filePath("com200")));
        QVERIFY(QFile::link(ports.filePath("missing"), ports.filePath("com201")));
        frmMain window(ports.path());
        window.show();
        PortComboBox *comm = window.cmbComm;
        auto marked = [comm] {
            QStringList list;
            for (int i = 199; i <= 201; ++i)
                if (qAlpha(comm->itemIcon(i).pixmap(comm->iconSize()).toImage().pixel(8, 8)) > 0)
                    list << comm->itemText(i);
            return list;
        };
        auto tip = [&](int number) { return comm->itemData(number - 1, Qt::ToolTipRole).toString(); };
        QTRY_COMPARE(marked(), QStringList{"COM 200"});
        QVERIFY2(tip(200).contains(ports.filePath("com200")) && tip(200).contains(device.fileName()), qPrintable(tip(200)));

        QVERIFY(QFile::link(ports.filePath("missing"), ports.filePath("com202")));
        QVERIFY(QFile::rename(device.fileName(), ports.filePath("missing")));
        comm->showPopup();
        // In the open list a marked entry ("COM 201") and an unmarked one
        // ("COM 200") are as tall, and their texts start at the same place.
        QAbstractItemView *view = comm->view();
        view->scrollTo(view->model()->index(200, 0));
        const QRect plain = view->visualRect(view->model()->index(199, 0)), mark = view->visualRect(view->model()->index(200, 0));
        QCOMPARE(mark.height(), plain.height());
        const QImage plainRow = view->viewport()->grab(plain).toImage(), markRow = view->viewport()->grab(mark).toImage();
        int start = 0;
        while (start < plainRow.width() && plainRow.pixel(start, plainRow.height() / 2) == plainRow.pixel(0, 0))
            ++start;
        QCOMPARE(markRow.copy(start, 0, 24, markRow.height()), plainRow.copy(start, 0, 24, plainRow.height()));
        comm->hidePopup();
        QCOMPARE(marked(), QStringList({"COM 201", "COM 202"}));
        QVERIFY2(tip(202).contains(ports.filePath("com202")), qPrintable(tip(202)));
    }

    // A failed connect says why in one box each and shows the port closed; a
    // good one opens the port, and an adapter pulled out later is reported.
    void connectAndDisconnect()
    {
        SimulatedPort port(modemsim::demoState(), 3);
        QVERIFY(QFile::link(port.directory() + "/missing", port.directory() + "/com7"));
        frmMain window(port.directory());
        window.show();
        BoxWatcher boxes;
        const QStringList typed{"COM 7", "COM 240", "my modem"}, textHas{"COM 7", "COM 240: no serial device", "COM 240: no serial device"};
        for (int n = 0; n < typed.size(); ++n) {
            window.cmbComm->setEditText(typed[n]);
            window.cmdConnect->click();
            QCOMPARE(boxes.boxes.size(), n + 1);
            QVERIFY2(boxes.boxes[n].title == "USB Port Error" && boxes.boxes[n].icon == QMessageBox::Warning
                         && boxes.boxes[n].text.contains(textHas[n]), qPrintable(boxes.boxes[n].text));
            QVERIFY(connectionState(window) == "Connect #ff0000 no functions closed"
                    && heard(window.shpComm, QAccessible::Description).contains("could not be opened"));
        }
        QCOMPARE(window.cmbComm->currentText(), QString("COM 240"));  // text that chose nothing left the choice
        window.cmbComm->setCurrentIndex(2);
        window.cmdConnect->click();
        QCOMPARE(connectionState(window) + ": " + heard(window.shpComm, QAccessible::Description),
                 QString("Disconnect #00ff00 functions open: Connected: the port is open"));
        window.cmdConnect->click();
        QCOMPARE(connectionState(window) + ": " + heard(window.shpComm, QAccessible::Description) + ", boxes: " + QString::number(boxes.boxes.size()),
                 QString("Connect #000000 no functions closed: Not connected, boxes: 3"));
        window.cmdConnect->click();
        port.modem->stop();  // the adapter pulled out between transfers
        QTRY_COMPARE(boxes.boxes.size(), 4);
        QCOMPARE(boxes.boxes[3].title + connectionState(window), QString("USB Port ErrorConnect #ff0000 no functions closed"));
    }

    // Edits that no Save or Write took are asked about before a Load or closing
    // drops them; a Save or a Load takes the table, and then nothing is asked.
    void editsAskBeforeTheyGo()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("site.txt");
        frmMain window;
        window.show();
        window.setRow(4, {true, "+911234567890", ""});  // as a Read or a Load puts it
        QVERIFY(window.close());
        window.show();
        window.chkChEnable[1]->click();
        window.chkChEnable[4]->click();
        Answers answers({"Fire", "Cancel", "Cancel", "Save", file});
        window.cmdEditMsg[8]->click();
        ChannelTable edited = window.table();
        window.cmdFileLoad->click();
        QVERIFY(!window.close());
        QCOMPARE(window.table(), edited);
        QVERIFY(window.close());
        window.show();
        window.chkChEnable[0]->click();
        answers.queue = QStringList{"Load", file};
        window.cmdFileLoad->click();
        QCOMPARE(window.table(), edited);  // as saved
        QVERIFY(window.close());
        window.show();
        window.chkChEnable[0]->click();
        answers.queue = QStringList{"Discard"};
        QVERIFY(window.close());
        const QString lost = " were neither saved to a file nor written to the device.";
        const QString close = "Telvarin: The edits in channels 2, 5 and 9" + lost + "\n\nSave them to a file before closing? [Save]";
        QCOMPARE(answers.seen, QStringList({"Load from File: Load from File replaces the edits in channels 2, 5 and 9, which" + lost + " [Cancel]",
                                            close, close, "Load from File: Load from File replaces the edits in channel 1, which" + lost + " [Cancel]",
                                            "Telvarin: The edits in channel 1" + lost + "\n\nSave them to a file before closing? [Save]"}));
        QVERIFY(answers.queue.isEmpty());
    }

    // Save then Load gives the table back; a short file fills what it holds and says so.
    void fileButtons()
    {
        QTemporaryDir dir;
        frmMain window;
        window.show();
        ChannelTable saved;
        saved[3] = {true, "+91", "Door"};
        saved[12] = {false, "+911234567890123", "Alarm \"Zone 1\"\r\nopen, \x01\"c\""};
        for (int i = 0; i < 16; ++i)
            window.setRow(i, saved[i]);
        QVERIFY(chooseFile(window.cmdFileSave, dir.filePath("table.txt")));
        for (int i = 0; i < 16; ++i)
            window.setRow(i, {});
        QVERIFY(chooseFile(window.cmdFileLoad, dir.filePath("table.txt")));
        QCOMPARE(window.table(), saved);
        QCOMPARE(window.lblMessage[12]->text(), QString("Alarm \"Zone 1\" open, \x01\"c\""));  // one line, CR LF a blank

        QStringList refusal;  // a typed name with double quotes: refused, the dialog stays open, nothing written
        QTimer::singleShot(0, window.cmdFileSave, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            auto *name = dialog ? dialog->findChild<QLineEdit *>("fileNameEdit") : nullptr;
            if (!name)
                return;
            name->setText("it's \"q\" name.txt");
            QTimer::singleShot(0, dialog, [&refusal] {
                if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
                    refusal << box->windowTitle() << box->text(), box->accept();
            });
            QTest::keyClick(name, Qt::Key_Return);
            refusal << (dialog->isVisible() ? "open" : "closed");
            dialog->reject();
        });
        window.cmdFileSave->click();
        QCOMPARE(refusal, QStringList({"Save to File",
                                       "The name it's \"q\" name.txt holds a double quote (\"), which this dialog reads "
                                       "as a list of names, so it cannot be used.\n\nChoose a name without double quotes.",
                                       "open"}));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"table.txt"});

        QVERIFY(writeFile(dir.filePath("ten.txt"), QByteArray("1\r\n\"555\"\r\n\"loaded\"\r\n").repeated(10)));
        BoxWatcher boxes;
        QVERIFY(chooseFile(window.cmdFileLoad, dir.filePath("ten.txt")));
        QTRY_VERIFY(boxes.boxes.size() == 1 && boxes.boxes[0].text.contains(dir.filePath("ten.txt"))
                    && boxes.boxes[0].text.contains("Channels 1 to 10"));
        std::fill_n(saved.begin(), 10, ChannelRow{true, "555", "loaded"});
        QCOMPARE(window.table(), saved);
        QVERIFY(chooseFile(window.cmdFileSave, dir.filePath("missing/table.txt")));  // no such folder
        QTRY_VERIFY(boxes.boxes.size() == 2 && boxes.boxes[1].title == "Save to File" && boxes.boxes[1].text.contains("missing"));
    }

};

QTEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
