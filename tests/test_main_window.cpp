// The main window: start-up state, layout, COM port names, connect and
// disconnect against a simulated modem on a pseudo-terminal.
#include "app/connection_lamp.h"
#include "ui/fonts.h"
#include "app/main_window.h"
#include "sim_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPort>
#include <QTest>

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { installFontSubstitutes(); }
    void startUpState();
    void bothPhoneColumnsVisible();
    void captionsFit();
    void phoneBoxKeepsLongerNumbers();
    void portListMarksPresentPorts();
    void connectAndDisconnect();
    void failedConnect_data();
    void failedConnect();
    void lineLostWhileIdle();
    void exitWhileConnectedReleasesPort();
};

template <typename T>
static T *control(const QWidget &window, const QString &name)
{
    T *widget = window.findChild<T *>(name);
    if (!widget)
        qFatal("no control %s", qPrintable(name));
    return widget;
}

void MainWindowTest::startUpState()
{
    frmMain window;
    QCOMPARE(window.windowTitle(), QString("Telvarin"));
    QCOMPARE(window.minimumSize(), window.maximumSize());
    QVERIFY(!(window.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));

    auto *comm = control<QComboBox>(window, "cmbComm");
    QCOMPARE(comm->count(), 255);
    QCOMPARE(comm->currentText(), QString("COM 1"));
    QCOMPARE(comm->itemText(254), QString("COM 255"));
    auto *slave = control<QComboBox>(window, "cmbSlaveID");
    QCOMPARE(slave->count(), 32);
    QCOMPARE(slave->currentText(), QString("01"));
    QCOMPARE(slave->itemText(8), QString("09"));
    QCOMPARE(slave->itemText(31), QString("32"));

    for (int i = 0; i < 16; ++i) {
        const QString n = QString::number(i);
        auto *check = control<QCheckBox>(window, "chkChEnable_" + n);
        QCOMPARE(check->text(), QString("Channel %1").arg(i + 1));
        QVERIFY(!check->isChecked());
        auto *phone = control<QLineEdit>(window, "txtPhoneNo_" + n);
        QVERIFY(phone->text().isEmpty());
        QVERIFY(!phone->isEnabled());
        QVERIFY(control<QLabel>(window, "lblMessage_" + n)->text().isEmpty());
        QCOMPARE(control<QPushButton>(window, "cmdEditNo_" + n)->text(), QString("Edit No."));
        QCOMPARE(control<QPushButton>(window, "cmdEditMsg_" + n)->text(), QString("Edit Msg."));
    }
    QCOMPARE(control<QPushButton>(window, "cmdConnect")->text(), QString("Connect"));
    QVERIFY(!control<QGroupBox>(window, "FrameFunction")->isEnabled());
    QVERIFY(!control<QPushButton>(window, "cmdDeviceRead")->isEnabled());
    QVERIFY(control<QPushButton>(window, "cmdFileLoad")->isEnabled());
    QCOMPARE(control<QLabel>(window, "Label2")->text(), QString("Designed & Developed by:"));
    QVERIFY(!control<QLabel>(window, "Image1")->pixmap().isNull());
    QVERIFY(!window.windowIcon().isNull());
}

// Every phone box and its button lie wholly inside the frames and the window.
void MainWindowTest::bothPhoneColumnsVisible()
{
    frmMain window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (int i = 0; i < 16; ++i) {
        for (QWidget *w : {static_cast<QWidget *>(window.txtPhoneNo[i]), static_cast<QWidget *>(window.cmdEditNo[i])}) {
            const QRect inWindow(w->mapTo(&window, QPoint(0, 0)), w->size());
            QVERIFY2(window.Frame3->rect().contains(w->geometry()), qPrintable(w->objectName()));
            QVERIFY2(window.rect().contains(inWindow), qPrintable(w->objectName()));
            QVERIFY2(!w->visibleRegion().isEmpty(), qPrintable(w->objectName()));
        }
    }
    QVERIFY(window.Frame2->geometry().right() < window.width());
}

// A stand-in font must not clip any caption.
void MainWindowTest::captionsFit()
{
    frmMain window;
    const auto buttons = window.findChildren<QAbstractButton *>();
    QVERIFY(buttons.size() > 40);
    for (const QAbstractButton *b : buttons) {
        const int extra = qobject_cast<const QCheckBox *>(b) ? 20 : 4;
        QVERIFY2(b->fontMetrics().horizontalAdvance(b->text()) + extra <= b->width(), qPrintable(b->objectName()));
    }
    for (const QLabel *l : window.findChildren<QLabel *>()) {
        if (l->objectName().startsWith("lblMessage"))
            continue;
        QVERIFY2(l->fontMetrics().horizontalAdvance(l->text()) <= l->width(), qPrintable(l->objectName()));
    }
}

// The 15-character limit binds typing only: a 16-digit number read from
// the modem or a longer one from a file stays whole, and typing may shorten
// it but not lengthen it.
void MainWindowTest::phoneBoxKeepsLongerNumbers()
{
    frmMain window;
    window.setRow(11, {true, "1234567890123456789", "a\r\nb"});
    QCOMPARE(window.row(11), (ChannelRow{true, "1234567890123456789", "a\r\nb"}));
    for (int channel : {0, 11}) {
        QLineEdit *box = window.txtPhoneNo[channel];
        box->setEnabled(true);
        box->setFocus();
        QTest::keyClicks(box, "12345678901234567890");
        QCOMPARE(box->text().size(), channel == 0 ? 15 : 19);
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, "12");
        QCOMPARE(box->text().size(), channel == 0 ? 15 : 18);
    }
}

// Present ports carry a mark and a tooltip naming their device; opening
// the list looks again, so a device that appeared meanwhile is marked.
void MainWindowTest::portListMarksPresentPorts()
{
    QTemporaryDir ports;
    QFile device(ports.filePath("adapter"));
    QVERIFY(device.open(QIODevice::WriteOnly));
    QVERIFY(QFile::link(device.fileName(), ports.filePath("com200")));
    QVERIFY(QFile::link(ports.filePath("missing"), ports.filePath("com201")));
    frmMain window(ports.path());
    window.show();
    PortComboBox *comm = window.cmbComm;
    auto tip = [&](int number) { return comm->itemData(number - 1, Qt::ToolTipRole).toString(); };
    QVERIFY(!comm->itemIcon(199).isNull());
    QVERIFY2(tip(200).contains(ports.filePath("com200")) && tip(200).contains(device.fileName()), qPrintable(tip(200)));
    QVERIFY(comm->itemIcon(200).isNull());
    QVERIFY(comm->itemIcon(201).isNull());
    QCOMPARE(comm->itemText(199), QString("COM 200"));

    QVERIFY(QFile::link(ports.filePath("missing"), ports.filePath("com202")));
    QVERIFY(QFile::rename(device.fileName(), ports.filePath("missing")));
    comm->showPopup();
    comm->hidePopup();
    QVERIFY(comm->itemIcon(199).isNull());
    QVERIFY(!comm->itemIcon(200).isNull());
    QVERIFY(!comm->itemIcon(201).isNull());
    QVERIFY2(tip(202).contains(ports.filePath("com202")), qPrintable(tip(202)));
}

void MainWindowTest::connectAndDisconnect()
{
    SimulatedPort port(modemsim::demoState(), 3);
    frmMain window(port.directory());
    window.cmbComm->setCurrentIndex(2);
    QCOMPARE(window.cmbComm->toolTip(), port.directory() + "/com3");

    BoxWatcher boxes;
    window.cmdConnect->click();
    QVERIFY(boxes.boxes.isEmpty());
    QCOMPARE(window.cmdConnect->text(), QString("Disconnect"));
    QCOMPARE(window.shpComm->color(), QColor(0, 255, 0));
    QVERIFY(window.FrameFunction->isEnabled());
    QVERIFY(window.link().isOpen());

    window.cmdConnect->click();
    QCOMPARE(window.cmdConnect->text(), QString("Connect"));
    QCOMPARE(window.shpComm->color(), QColor(0, 0, 0));
    QVERIFY(!window.FrameFunction->isEnabled());
    QVERIFY(!window.link().isOpen());
    QVERIFY(boxes.boxes.isEmpty());
}

void MainWindowTest::failedConnect_data()
{
    QTest::addColumn<QString>("typedPort");
    QTest::addColumn<QString>("textHas");
    QTest::newRow("port without a device") << "COM 7" << "COM 7";
    QTest::newRow("number no device takes") << "COM 240" << "COM 240: no serial device";
    QTest::newRow("no entry selected") << "my modem" << "No COM port is selected";
}

void MainWindowTest::failedConnect()
{
    QFETCH(QString, typedPort);
    QFETCH(QString, textHas);
    QTemporaryDir dir;
    QVERIFY(QFile::link(dir.filePath("missing"), dir.filePath("com7")));
    frmMain window(dir.path());
    window.show();
    window.cmbComm->setEditText(typedPort);

    BoxWatcher boxes;
    window.cmdConnect->click();
    QCOMPARE(boxes.boxes.size(), 1);
    QCOMPARE(boxes.boxes[0].title, QString("USB Port Error"));
    QCOMPARE(boxes.boxes[0].icon, QMessageBox::Warning);
    QVERIFY2(boxes.boxes[0].text.contains(textHas), qPrintable(boxes.boxes[0].text));
    QCOMPARE(window.shpComm->color(), QColor(255, 0, 0));
    QCOMPARE(window.cmdConnect->text(), QString("Connect"));
    QVERIFY(!window.FrameFunction->isEnabled());
    QVERIFY(!window.link().isOpen());
}

// The adapter is pulled out between transfers: one message, and the window
// shows the port closed.
void MainWindowTest::lineLostWhileIdle()
{
    SimulatedPort port;
    frmMain window(port.directory());
    window.show();
    window.cmdConnect->click();
    BoxWatcher boxes;
    port.modem->dropLineAfterCommand(0);
    QTRY_COMPARE(boxes.boxes.size(), 1);
    QCOMPARE(boxes.boxes[0].title, QString("USB Port Error"));
    QVERIFY(!window.link().isOpen());
    QCOMPARE(window.cmdConnect->text(), QString("Connect"));
    QCOMPARE(window.shpComm->color(), QColor(255, 0, 0));
    QVERIFY(!window.FrameFunction->isEnabled());
}

void MainWindowTest::exitWhileConnectedReleasesPort()
{
    SimulatedPort port;
    {
        frmMain window(port.directory());
        window.show();
        window.cmdConnect->click();
        QVERIFY(window.link().isOpen());
        BoxWatcher boxes;
        window.cmdExit->click();
        QVERIFY(!window.isVisible());
        QVERIFY(boxes.boxes.isEmpty());
    }
    // The lock is gone with the window: the port opens again.
    QSerialPort again(port.directory() + "/com1");
    QVERIFY2(again.open(QIODevice::ReadWrite), qPrintable(again.errorString()));
}

QTEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
