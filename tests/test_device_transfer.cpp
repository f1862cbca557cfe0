// Read from Device and Write to Device through the window, against the
// simulated modem on a pseudo-terminal with its line-rate pacing on.
#include "app/connection_lamp.h"
#include "ui/fonts.h"
#include "app/main_window.h"
#include "link/device_protocol.h"
#include "sim_fixture.h"
#include "transfer/device_write.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSerialPort>
#include <QSignalSpy>
#include <QRegularExpression>
#include <QTest>

using modemsim::ModemState;

namespace {

const QString k160 = QString("0123456789").repeated(16);

// A modem holding every awkward slot a Read must decode.
ModemState knownModem()
{
    ModemState state;
    state.slaveId = 20;
    state.enableMask = 0x8005;  // channels 1, 3 and 16
    state.putText(protocol::phoneSlotAddress(0), "+911234567890");
    state.memory.replace(protocol::phoneSlotAddress(1), 16, "1234567890123456");  // no NUL
    state.putText(protocol::phoneSlotAddress(2), "");
    state.putText(protocol::messageSlotAddress(0), "Fire alarm, site A");
    state.memory.replace(protocol::messageSlotAddress(1), 160, k160.toLatin1());
    state.memory.replace(protocol::messageSlotAddress(3), 10, "Gas\x90leak!\0");
    state.putText(protocol::messageSlotAddress(4), "");
    return state;
}

QList<int> values(const QSignalSpy &spy)
{
    QList<int> list;
    for (const auto &args : spy)
        list.append(args.at(0).toInt());
    return list;
}

QList<int> range(int from, int to, int step)
{
    QList<int> list;
    for (int v = from; v <= to; v += step)
        list.append(v);
    return list;
}

bool progressWindowExists()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == "frmProgress")
            return true;
    return false;
}

}  // namespace

class DeviceTransferTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { installFontSubstitutes(); }
    void init();
    void cleanup();
    void readFillsTheTable();
    void writeSendsExactFramesAndReadsBack();
    void silentOrGarbledModem_data();
    void silentOrGarbledModem();
    void modemAnswersOnlySettings();
    void lineDropsMidRun_data();
    void lineDropsMidRun();
    void windowClosedMidRun();
    void writeRefusedBeforeTheFirstFrame_data();
    void writeRefusedBeforeTheFirstFrame();

private:
    void connectTo(const ModemState &state);
    std::unique_ptr<SimulatedPort> port_;
    std::unique_ptr<frmMain> window_;
    std::unique_ptr<BoxWatcher> boxes_;
};

void DeviceTransferTest::init() { connectTo(knownModem()); }

void DeviceTransferTest::connectTo(const ModemState &state)
{
    port_ = std::make_unique<SimulatedPort>(state);
    window_ = std::make_unique<frmMain>(port_->directory());
    window_->show();
    boxes_ = std::make_unique<BoxWatcher>([w = window_.get()] { return w->progressWindow() && w->progressWindow()->isVisible(); });
    window_->cmdConnect->click();
    QVERIFY(window_->link().isOpen());
}

void DeviceTransferTest::cleanup()
{
    boxes_.reset();
    window_.reset();
    port_.reset();
    QVERIFY(!progressWindowExists());
}

void DeviceTransferTest::readFillsTheTable()
{
    for (int i = 0; i < 16; ++i)
        window_->setRow(i, {i == 5, "old" + QString::number(i), "old message"});
    QSignalSpy progress(window_.get(), &frmMain::progressChanged);
    bool lockedMidRun = false;
    int barMidRun = -1;
    QTimer::singleShot(1000, this, [&] {
        // Whatever could start a second run or change what is being read.
        QStringList usable;
        for (QWidget *control : window_->findChildren<QWidget *>()) {
            static const QRegularExpression locked(
                "^(cmd(Connect|DeviceRead|DeviceWrite|FileLoad|FileSave|EditNo_\\d+|EditMsg_\\d+)"
                "|cmb(Comm|SlaveID)|chkChEnable_\\d+)$");
            if (locked.match(control->objectName()).hasMatch() && control->isEnabled())
                usable << control->objectName();
        }
        lockedMidRun = usable.isEmpty();
        barMidRun = window_->progressWindow() ? window_->progressWindow()->pbar->value() : -1;
    });

    window_->cmdDeviceRead->click();

    QVERIFY(boxes_->boxes.isEmpty());
    QCOMPARE(window_->cmbSlaveID->currentText(), QString("20"));
    for (int i = 0; i < 16; ++i)
        QCOMPARE(window_->row(i).enabled, i == 0 || i == 2 || i == 15);
    QCOMPARE(window_->row(0).phoneNo, QString("+911234567890"));
    QCOMPARE(window_->row(1).phoneNo, QString("1234567890123456"));
    QCOMPARE(window_->row(2).phoneNo, QString());
    QCOMPARE(window_->row(0).message, QString("Fire alarm, site A"));
    QCOMPARE(window_->row(1).message, k160);
    QCOMPARE(window_->row(3).message, QString("Gas"));
    QCOMPARE(window_->row(4).message, QString());
    QCOMPARE(values(progress), QList<int>{4} + range(5, 20, 1) + range(25, 100, 5));
    QCOMPARE(port_->modem->receivedFrames().size(), 33);
    QVERIFY(lockedMidRun);
    QVERIFY(barMidRun > 4 && barMidRun < 100);
    QVERIFY(window_->cmdConnect->isEnabled() && window_->cmdEditNo[0]->isEnabled() && window_->cmdDeviceWrite->isEnabled());
    QVERIFY(!window_->progressWindow());
}

void DeviceTransferTest::writeSendsExactFramesAndReadsBack()
{
    WriteRequest request;
    request.slaveIndex = 31;
    request.rows[0] = {true, "12345", "Intruder"};
    request.rows[9] = {false, "+441234567890", "line one\r\nline two"};
    request.rows[15] = {true, "", "ALARM"};
    request.rows[7] = {true, "0123456789012345", k160};
    for (int i = 0; i < 16; ++i)
        window_->setRow(i, request.rows[i]);
    window_->cmbSlaveID->setCurrentIndex(31);
    port_->modem->clearLog();
    QSignalSpy progress(window_.get(), &frmMain::progressChanged);

    window_->cmdDeviceWrite->click();

    QVERIFY(boxes_->boxes.isEmpty());
    QVERIFY(port_->modem->waitForFrames(34, 1000));
    QCOMPARE(port_->modem->receivedFrames(), writeFrames(request));
    QCOMPARE(port_->modem->receivedFrames()[0].toHex(' '), QByteArray("26 03 45 30 20"));
    QCOMPARE(values(progress), (QList<int>{0, 4} + range(7, 52, 3) + range(55, 100, 3)));
    for (int i = 0; i < 16; ++i)
        QCOMPARE(window_->row(i), request.rows[i]);
    QCOMPARE(port_->modem->state().enableMask, quint16(0x8081));
    QVERIFY(!window_->progressWindow());

    for (int i = 0; i < 16; ++i)
        window_->setRow(i, {});
    window_->cmbSlaveID->setCurrentIndex(0);
    window_->cmdDeviceRead->click();
    QVERIFY(boxes_->boxes.isEmpty());
    QCOMPARE(window_->cmbSlaveID->currentIndex(), 31);
    for (int i = 0; i < 16; ++i)
        QCOMPARE(window_->row(i), request.rows[i]);
}

void DeviceTransferTest::silentOrGarbledModem_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("silent") << "silent";
    QTest::newRow("stray byte before E2") << "stray";
    QTest::newRow("reply 250 ms late") << "late";
    QTest::newRow("garbled first byte") << "garbled";
}

void DeviceTransferTest::silentOrGarbledModem()
{
    QFETCH(QString, fault);
    if (fault == "silent")
        port_->modem->setSilent(true);
    else if (fault == "stray")
        port_->modem->injectBeforeNextReply(QByteArray(1, '\0'));
    else if (fault == "late")
        port_->modem->setProcessingDelayMs(250);
    else
        port_->modem->garbleNextReplyFirstByte();
    window_->setRow(3, {true, "555", "kept"});
    const ChannelTable before = window_->table();
    QSignalSpy progress(window_.get(), &frmMain::progressChanged);

    window_->cmdDeviceRead->click();

    QCOMPARE(boxes_->boxes.size(), 1);
    QCOMPARE(boxes_->boxes[0].title, QString("Communication Error"));
    QCOMPARE(boxes_->boxes[0].text, QString("Cannot communicate with device"));
    QCOMPARE(boxes_->boxes[0].icon, QMessageBox::Warning);
    QVERIFY(boxes_->boxes[0].progressWindowShown);
    QVERIFY(progress.isEmpty());
    QCOMPARE(window_->table(), before);
    QCOMPARE(window_->cmbSlaveID->currentIndex(), 0);
    QCOMPARE(port_->modem->receivedFrames().size(), 1);
    QVERIFY(!window_->progressWindow());
    QVERIFY(window_->cmdDeviceRead->isEnabled());

    if (fault == "late") {
        // The late reply comes in after the Read gave up; it must not spoil
        // the next Read, with the modem in time again.
        auto *cm = window_->link().findChild<QSerialPort *>("cm");
        QTRY_COMPARE(cm->bytesAvailable(), 5);
        port_->modem->setProcessingDelayMs(10);
        window_->cmdDeviceRead->click();
        QCOMPARE(boxes_->boxes.size(), 1);
        QCOMPARE(window_->cmbSlaveID->currentText(), QString("20"));
        QCOMPARE(window_->row(0).message, QString("Fire alarm, site A"));
    }
}

void DeviceTransferTest::modemAnswersOnlySettings()
{
    ModemState state = knownModem();
    state.slaveId = 33;  // beyond what the tool can write: not taken over
    connectTo(state);
    port_->modem->setAnswerMemoryReads(false);
    window_->cmbSlaveID->setCurrentIndex(4);
    for (int i = 0; i < 16; ++i)
        window_->setRow(i, {false, "kept" + QString::number(i), "kept"});
    QSignalSpy progress(window_.get(), &frmMain::progressChanged);

    window_->cmdDeviceRead->click();

    QCOMPARE(window_->cmbSlaveID->currentIndex(), 4);
    for (int i = 0; i < 16; ++i) {
        QCOMPARE(window_->row(i).enabled, i == 0 || i == 2 || i == 15);
        QCOMPARE(window_->row(i).phoneNo, "kept" + QString::number(i));
        QCOMPARE(window_->row(i).message, QString("kept"));
    }
    QCOMPARE(values(progress).last(), 100);
    QCOMPARE(boxes_->boxes.size(), 1);
    QCOMPARE(boxes_->boxes[0].icon, QMessageBox::Warning);
    QVERIFY(!boxes_->boxes[0].progressWindowShown);
    QVERIFY(boxes_->boxes[0].text.contains("channels 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16"));
    QVERIFY(boxes_->boxes[0].text.contains("previous values"));
}

void DeviceTransferTest::lineDropsMidRun_data()
{
    QTest::addColumn<bool>("reading");
    QTest::newRow("read") << true;
    QTest::newRow("write") << false;
}

// The adapter is pulled out: the run ends at once, the window shows the
// disconnected state and says why; rows already read keep their values.
void DeviceTransferTest::lineDropsMidRun()
{
    QFETCH(bool, reading);
    port_->modem->dropLineAfterCommand(10);  // E2 and 8 phone reads answered
    for (int i = 0; i < 16; ++i)
        window_->setRow(i, {false, "old", "old"});
    QElapsedTimer clock;
    clock.start();

    (reading ? window_->cmdDeviceRead : window_->cmdDeviceWrite)->click();

    QVERIFY(clock.elapsed() < 3000);
    QVERIFY(!window_->link().isOpen());
    QVERIFY(!window_->progressWindow());
    QCOMPARE(window_->cmdConnect->text(), QString("Connect"));
    QCOMPARE(window_->shpComm->color(), QColor(255, 0, 0));
    QVERIFY(!window_->FrameFunction->isEnabled());
    QVERIFY(window_->cmdConnect->isEnabled());
    QCOMPARE(boxes_->boxes.size(), 1);
    QCOMPARE(boxes_->boxes[0].title, QString("USB Port Error"));
    QVERIFY(!boxes_->boxes[0].progressWindowShown);
    if (reading) {
        QCOMPARE(window_->row(7).phoneNo, QString());
        QCOMPARE(window_->row(0).phoneNo, QString("+911234567890"));
        QCOMPARE(window_->row(8).phoneNo, QString("old"));
        QCOMPARE(window_->row(0).message, QString("old"));
    }
    QTest::qWait(100);  // the queued loss report must not add a second box
    QCOMPARE(boxes_->boxes.size(), 1);
}

// Closing ends the wait at once, not at the end of the 200 ms window.
void DeviceTransferTest::windowClosedMidRun()
{
    QElapsedTimer sinceClose;
    connect(window_.get(), &frmMain::progressChanged, this, [&](int value) {
        if (value == 5)  // 20 ms into the second phone read's window
            QTimer::singleShot(20, window_.get(), [&] {
                sinceClose.start();
                window_->close();
            });
    });
    window_->cmdDeviceRead->click();
    QVERIFY(sinceClose.isValid());
    QVERIFY2(sinceClose.elapsed() < 100, qPrintable(QString::number(sinceClose.elapsed())));
    QTRY_VERIFY(!window_->isVisible());
    QVERIFY(boxes_->boxes.isEmpty());
    QVERIFY(port_->modem->receivedFrames().size() < 10);
    QVERIFY(!progressWindowExists());
    window_.reset();
    QSerialPort again(port_->directory() + "/com1");
    QVERIFY2(again.open(QIODevice::ReadWrite), qPrintable(again.errorString()));
}

void DeviceTransferTest::writeRefusedBeforeTheFirstFrame_data()
{
    QTest::addColumn<QString>("problem");
    QTest::addColumn<QString>("mentions");
    QTest::newRow("no slave ID") << "slave" << "slave ID";
    QTest::newRow("phone number of 17") << "phone" << "Channel 12";
    QTest::newRow("message of 161") << "message" << "Channel 2";
}

void DeviceTransferTest::writeRefusedBeforeTheFirstFrame()
{
    QFETCH(QString, problem);
    QFETCH(QString, mentions);
    if (problem == "slave")
        window_->cmbSlaveID->setEditText("7");
    else if (problem == "phone")
        window_->setRow(11, {true, QString(17, '9'), ""});
    else
        window_->setRow(1, {true, "", QString(161, 'm')});
    port_->modem->clearLog();

    window_->cmdDeviceWrite->click();

    QCOMPARE(boxes_->boxes.size(), 1);
    QVERIFY2(boxes_->boxes[0].text.contains(mentions), qPrintable(boxes_->boxes[0].text));
    QVERIFY(!port_->modem->waitForFrames(1, 300));
    QVERIFY(window_->cmdDeviceWrite->isEnabled());
}

QTEST_MAIN(DeviceTransferTest)
#include "test_device_transfer.moc"
