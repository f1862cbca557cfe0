// Read from Device and Write to Device through the window, against the
// simulated modem on a pseudo-terminal with its line-rate pacing on.
#include "app/connection_lamp.h"
#include "app/main_window.h"
#include "line_speed.h"
#include "link/device_protocol.h"
#include "sim_fixture.h"
#include "ui/fonts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QWindow>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

namespace {

const QString k160 = QString("0123456789").repeated(16);

// A modem holding every awkward slot a Read must decode.
modemsim::ModemState knownModem()
{
    modemsim::ModemState state;
    state.slaveId = 20;
    state.enableMask = 0x8005;  // channels 1, 3 and 16
    state.putText(protocol::phoneSlotAddress(0), "+911234567890");
    state.memory.replace(protocol::phoneSlotAddress(1), 16, "1234567890123456");  // no NUL
    state.putText(protocol::messageSlotAddress(0), "Fire alarm, site A");
    state.memory.replace(protocol::messageSlotAddress(1), 160, k160.toLatin1());
    state.memory.replace(protocol::messageSlotAddress(3), 10, "Gas\x90leak!\0");
    return state;
}

}  // namespace

class DeviceTransferTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { installFontSubstitutes(); }
    void init() { connectTo(knownModem()); }
    void cleanup()
    {
        boxes_.reset();
        window_.reset();
        port_.reset();
        for (QWidget *w : QApplication::topLevelWidgets())
            QVERIFY(w->objectName() != "frmProgress");
    }

    // A modem that starts to answer 50 ms late is read whole too: a message
    // still arriving when its window ends is waited for.
    void readFillsTheTable_data()
    {
        QTest::addColumn<int>("delayMs");
        QTest::newRow("answers at once") << 10;
        QTest::newRow("answers 50 ms late") << 50;
    }
    void readFillsTheTable()
    {
        QFETCH(int, delayMs);
        std::optional<RealLineTiming> real;
        if (delayMs > 10)
            reconnectOnRealLine(real);
        port_->modem->setProcessingDelayMs(delayMs);
        for (int i = 0; i < 16; ++i)
            window_->setRow(i, {i == 5, "old" + QString::number(i), "old message"});
        QStringList usableMidRun{"not looked"};
        int barMidRun = -1;
        bool progressStays = false;
        QTimer::singleShot(1000, this, [&] {
            // Whatever could start a second run, change what is being read or quit.
            static const QRegularExpression locked("^(cmd(Connect|DeviceRead|DeviceWrite|FileLoad|FileSave|Exit|EditNo_\\d+|"
                                                   "EditMsg_\\d+)|cmb(Comm|SlaveID)|chkChEnable_\\d+)$");
            usableMidRun.clear();
            for (QWidget *control : window_->findChildren<QWidget *>())
                if (locked.match(control->objectName()).hasMatch() && control->isEnabled())
                    usableMidRun << control->objectName();
            if (frmProgress *progress = window_->progressWindow()) {
                barMidRun = progress->pbar->value();
                progress->windowHandle()->close();  // Alt+F4
                progressStays = progress->isVisible();
            }
        });

        window_->cmdDeviceRead->setFocus();
        QTest::keyClick(window_->cmdDeviceRead, Qt::Key_Space);

        ChannelTable expected;
        expected[0] = {true, "+911234567890", "Fire alarm, site A"};
        expected[1] = {false, "1234567890123456", k160};
        expected[2].enabled = expected[15].enabled = true;
        expected[3].message = "Gas";
        QCOMPARE(window_->table(), expected);
        QCOMPARE(window_->cmbSlaveID->currentText(), QString("20"));
        QCOMPARE(port_->modem->receivedFrames().size(), 33);
        // Channel 2's 16 digits hold no NUL: the modem dials on into channel 3's.
        QCOMPARE(boxes_->boxes.size(), 1);
        QCOMPARE(boxes_->boxes[0].title + ": " + boxes_->boxes[0].text,
                 "Read from Device: Phone number of channel 2: the device holds no end mark in its 16 bytes, so the "
                 "number it dials runs into the next slot. Shorten it to at most 15 characters and Write again.");
        QCOMPARE(usableMidRun, QStringList());
        QVERIFY(barMidRun > 4 && barMidRun < 100 && progressStays);
        QVERIFY(window_->cmdConnect->isEnabled() && window_->cmdEditNo[0]->isEnabled() && window_->cmdDeviceWrite->isEnabled());

        // A slave ID the list does not offer is named, and the list keeps its entry.
        modemsim::ModemState odd = port_->modem->state();
        odd.slaveId = 45;
        odd.putText(protocol::phoneSlotAddress(1), "123");
        port_->modem->setState(odd);
        window_->cmdDeviceRead->click();
        QCOMPARE(window_->cmbSlaveID->currentText() + " " + boxes_->boxes.last().text,
                 "20 The device has slave ID 45, which the Slave ID list does not offer (1 to 32): the list was left "
                 "as it was, and a Write gives the device the ID chosen there.");
    }

    // What a Write leaves in the modem's memory, every slot, read straight from the simulator.
    void writeReachesTheModem()
    {
        ChannelTable written;
        written[0] = {true, "12345", "Intruder"};
        written[7] = {true, "012345678901234", k160};
        written[9] = {false, "+441234567890", "line one\r\nline two"};
        written[15] = {true, "", "ALARM"};
        // One character too many for the modem: refused, nothing sent. A
        // phone number of 16 would leave its end mark in the next slot.
        window_->setRow(4, {false, "0123456789012345", k160 + "x"});
        window_->cmdDeviceWrite->click();
        QCOMPARE(boxes_->boxes.size(), 1);
        QVERIFY2(boxes_->boxes[0].title == "Write to Device" && boxes_->boxes[0].text.startsWith("Nothing was written to the device.")
                     && boxes_->boxes[0].text.endsWith("Channel 5: the phone number has 16 characters; the device holds at most 15.\n"
                                                       "Channel 5: the message has 161 characters; the device holds at most 160."),
                 qPrintable(boxes_->boxes[0].text));
        QCOMPARE(port_->modem->receivedFrames().size(), 0);
        boxes_->boxes.clear();
        for (int i = 0; i < 16; ++i)
            window_->setRow(i, written[i]);
        window_->cmbSlaveID->setCurrentIndex(31);
        port_->modem->clearLog();
        progress_.clear();
        QStringList shown;
        connect(window_.get(), &frmMain::progressChanged, this, [&] {
            if (const QString text = window_->progressWindow()->lblMsg->text(); !shown.contains(text))
                shown << text;
        });
        window_->cmdDeviceWrite->click();
        // The Write's bar, then the check's: a whole Read of what was written.
        const auto steps = [](int from, int to, int by) {
            QList<int> values;
            for (int v = from; v <= to; v += by)
                values << v;
            return values;
        };
        QCOMPARE(progress_, QList<int>{0} + steps(4, 100, 3) + QList<int>{0} + steps(4, 20, 1) + steps(25, 100, 5));
        QCOMPARE(shown, QStringList({"Writing to device ...", "Checking ..."}));
        QVERIFY(boxes_->boxes.isEmpty());
        // The settings are asked for first; then the 34 commands and the 33 of the check.
        QCOMPARE(port_->modem->receivedFrames().size(), 1 + 34 + 33);
        QCOMPARE(port_->modem->receivedFrames().mid(0, 2), QList<QByteArray>({QByteArray::fromHex("26024532"), QByteArray::fromHex("2603453020")}));
        QCOMPARE(window_->table(), written);
        const modemsim::ModemState held = port_->modem->state();
        QCOMPARE(held.enableMask, quint16(0x8081));
        QStringList texts, expected;
        for (int i = 0; i < 16; ++i) {
            texts << QString::fromLatin1(held.textAt(protocol::phoneSlotAddress(i), 16) + '|'
                                         + held.textAt(protocol::messageSlotAddress(i), 160));
            expected << written[i].phoneNo + '|' + written[i].message;
        }
        QCOMPARE(texts, expected);

        // A write the modem lost (a brown-out) is found by the check; a modem
        // that stops answering after the Write is not taken for a good one.
        window_->setRow(0, {true, "12345", "Intruder!"});
        port_->modem->forgetCommand(20);  // the probe, E0, E1, 16 numbers, then channel 1's message
        window_->cmdDeviceWrite->click();
        connect(window_.get(), &frmMain::progressChanged, this, [&](int value) {
            if (value == 100)
                port_->modem->setSilent(true);
        });
        window_->cmdDeviceWrite->click();
        QCOMPARE(boxes_->boxes.size(), 2);
        QCOMPARE(boxes_->boxes[0].title + ": " + boxes_->boxes[0].text,
                 "Write to Device: The device does not hold what was written. Write again; if it still differs, check "
                 "the device's power and the cable.\n\nChannel 1 message: the modem has \"Intruder\", the table has \"Intruder!\".");
        QVERIFY2(boxes_->boxes[1].text.startsWith("All 34 commands reached the line, but the device did not answer when it "
                                                  "was read back"), qPrintable(boxes_->boxes[1].text));
    }

    // A Read over edits asks first (Cancel sends nothing); a Read and a complete Write take the table.
    void editsAndTransfers()
    {
        boxes_.reset();  // the questions are answered here
        modemsim::ModemState plain = port_->modem->state();
        plain.putText(protocol::phoneSlotAddress(1), "123");  // a number a Write can give back
        port_->modem->setState(plain);
        window_->chkChEnable[6]->click();
        Answers answers({"Cancel", "Read"});
        window_->cmdDeviceRead->click();
        QCOMPARE(port_->modem->receivedFrames().size(), 0);
        window_->cmdDeviceRead->click();
        QCOMPARE(answers.seen, QStringList(2, "Read from Device: Read from Device replaces the edits in channel 7, which were neither "
                                              "saved to a file nor written to the device. [Cancel]"));
        QCOMPARE(port_->modem->receivedFrames().size(), 33);
        QVERIFY(window_->editedChannels().isEmpty());
        window_->chkChEnable[6]->click();
        window_->cmdDeviceWrite->click();
        QVERIFY(window_->editedChannels().isEmpty() && answers.queue.isEmpty());
    }

    // Read and Write alike: a Write sends no write command to a modem that
    // does not answer first.
    void silentOrGarbledModem_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("button");
        for (const char *fault : {"silent", "garbled first byte"})
            for (const char *button : {"cmdDeviceRead", "cmdDeviceWrite"})
                QTest::addRow("%s, %s", fault, button) << fault << button;
    }
    void silentOrGarbledModem()
    {
        QFETCH(QString, fault);
        QFETCH(QString, button);
        if (fault == "silent")
            port_->modem->setSilent(true);
        else
            port_->modem->garbleNextReplyFirstByte();
        window_->setRow(3, {true, "555", "kept"});
        const ChannelTable before = window_->table();
        window_->findChild<QPushButton *>(button)->click();
        QCOMPARE(boxes_->boxes.size(), 1);
        const SeenBox box = boxes_->boxes[0];
        QCOMPARE(QStringList({box.title, box.text}), QStringList({"Communication Error", "Cannot communicate with device"}));
        QVERIFY(box.icon == QMessageBox::Warning && box.progressWindowShown);
        QCOMPARE(progress_, button == "cmdDeviceWrite" ? QList<int>{0} : QList<int>{});
        QVERIFY(window_->table() == before && window_->cmbSlaveID->currentIndex() == 0);
        QCOMPARE(port_->modem->receivedFrames().size(), 1);
        QVERIFY(!window_->progressWindow() && window_->cmdDeviceRead->isEnabled() && window_->cmdDeviceWrite->isEnabled());
    }

    // A Write cut short, by a line that takes nothing more or by a lost
    // line, says so and how many commands reached the modem.
    void writeCutShort_data()
    {
        QTest::addColumn<bool>("lineLost");
        QTest::addColumn<QString>("title");
        QTest::newRow("output stalled") << false << "Write to Device";
        QTest::newRow("line lost") << true << "USB Port Error";
    }
    void writeCutShort()
    {
        QFETCH(bool, lineLost);
        QFETCH(QString, title);
        lineLost ? port_->modem->dropLineAfterCommand(4) : port_->modem->stallOutputAfterCommand(4);  // the probe and 3 writes
        window_->cmdDeviceWrite->click();
        QCOMPARE(port_->modem->receivedFrames().size(), 4);
        QCOMPARE(boxes_->boxes.size(), 1);
        QVERIFY2(boxes_->boxes[0].title == title && boxes_->boxes[0].text.contains("\n3 of 34 commands reached the line") == lineLost
                     && boxes_->boxes[0].text.contains("3 of 34 commands reached the line, so the device holds only part"),
                 qPrintable(boxes_->boxes[0].text));
        QVERIFY(progress_.last() < 100);
    }

    // A reply rejected mid-run or followed by stray bytes, the adapter pulled
    // out, or every "MR" answered 300 ms late (far enough past the window
    // that a busy machine's late tick cannot take it in): the box names every
    // field that kept its previous value, and a late reply is waited out,
    // never landing in another channel's field. A lost line ends the run at once and the window shows the
    // disconnected state, saying why once.
    void fieldsMissedMidRun_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("fields");  // channel 1's number, 8's, 9's, then channel 1's message
        QTest::addColumn<QString>("kept");  // the end of the box's text
        const QString read = "+911234567890||old|", all = "channels 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16";
        QTest::newRow("line lost") << "line lost" << "USB Port Error" << "Connect #ff0000 no functions closed" << read + "old"
                                   << "The Read stopped before every field was read. These fields kept their previous values:\n"
                                      "Phone number: channels 9, 10, 11, 12, 13, 14, 15, 16\n"
                                      "Message: channels 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16";
        QTest::newRow("reply garbled") << "garbled" << "Read from Device" << "Disconnect #00ff00 functions open"
                                       << read + "Fire alarm, site A"
                                       << "The device did not answer every read. These fields could not be read and "
                                          "kept their previous values:\nPhone number: channel 9\n\nPhone number of "
                                          "channel 2: the device holds no end mark in its 16 bytes, so the number it "
                                          "dials runs into the next slot. Shorten it to at most 15 characters and Write again.";
        QTest::newRow("stray bytes") << "stray" << "Read from Device" << "Disconnect #00ff00 functions open"
                                     << "+911234567890|old||Fire alarm, site A"
                                     << "Phone number: channel 8\n\nPhone number of channel 2: the device holds no end mark in its "
                                        "16 bytes, so the number it dials runs into the next slot. Shorten it to at most 15 "
                                        "characters and Write again.";
        QTest::newRow("replies late") << "late" << "Read from Device" << "Disconnect #00ff00 functions open" << "old|old|old|old"
                                      << "Phone number: " + all + "\nMessage: " + all;
    }
    void fieldsMissedMidRun()
    {
        QFETCH(QString, fault);
        QFETCH(QString, title);
        QFETCH(QString, state);
        QFETCH(QString, fields);
        QFETCH(QString, kept);
        std::optional<RealLineTiming> real;
        if (fault == "late")
            reconnectOnRealLine(real);
        if (fault == "line lost")
            port_->modem->dropLineAfterCommand(10);  // E2 and 8 phone reads answered
        else if (fault == "late")
            port_->modem->setMemoryReadDelayMs(300);
        else
            connect(window_.get(), &frmMain::progressChanged, this, [this, fault](int value) {
                if (value != 12)  // 8 phone numbers read
                    return;
                if (fault == "garbled")
                    return port_->modem->garbleNextReplyFirstByte();
                port_->modem->sendUnsolicited("xx");  // after channel 8's reply, before the next command
                QTRY_COMPARE(window_->link().findChild<QSerialPort *>("cm")->bytesAvailable(), 2);
            });
        for (int i = 0; i < 16; ++i)
            window_->setRow(i, {false, "old", "old"});
        // Counted in reply windows, not in time: the run ends within the
        // window the line was lost in, however busy the machine.
        QSignalSpy windows(window_->link().findChild<QTimer *>("tmrTout"), &QTimer::timeout);
        window_->cmdDeviceRead->click();
        QVERIFY2(fault != "line lost" || windows.size() <= 10, qPrintable(QString::number(windows.size())));
        QVERIFY(!window_->progressWindow() && window_->cmdConnect->isEnabled());
        QCOMPARE(connectionState(*window_), state);
        QCOMPARE(QStringList({window_->row(0).phoneNo, window_->row(7).phoneNo, window_->row(8).phoneNo,
                              window_->row(0).message}).join('|'), fields);
        QTest::qWait(100);  // the queued loss report must not add a second box
        QCOMPARE(boxes_->boxes.size(), 1);
        QVERIFY2(boxes_->boxes[0].title == title && boxes_->boxes[0].text.endsWith(kept) && !boxes_->boxes[0].progressWindowShown,
                 qPrintable(boxes_->boxes[0].text));
    }

    // A stray second Space after the start does nothing, and a close request
    // asks first: Continue (the default) lets the run end; Stop ends it after
    // the command on the line, closes the window and frees the port.
    void closeMidRun_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("askAt");  // progress value at the close request
        QTest::addColumn<QString>("asked");
        QTest::addColumn<QString>("answer");
        QTest::newRow("Write, Enter continues") << "cmdDeviceWrite" << 10 << "the device keeps part" << "Enter";
        QTest::newRow("Write, Stop") << "cmdDeviceWrite" << 10 << "the device keeps part" << "Stop";
        QTest::newRow("Read, Stop") << "cmdDeviceRead" << 5 << "the table is only partly read" << "Stop";
    }
    void closeMidRun()
    {
        QFETCH(QString, button);
        QFETCH(int, askAt);
        QFETCH(QString, asked);
        QFETCH(QString, answer);
        boxes_.reset();  // the question is answered here
        auto *start = window_->findChild<QPushButton *>(button);
        QString seen;
        QByteArray onLineAtAnswer;
        bool once = false;  // the check after a Write runs its bar again
        connect(window_.get(), &frmMain::progressChanged, this, [&](int value) {
            if (value != askAt || std::exchange(once, true))
                return;
            window_->windowHandle()->close();  // the title bar's close box
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            seen = box ? QString::number(box->text().contains(asked)) + box->defaultButton()->text()
                             + QString::number(box->frameGeometry().intersects(window_->progressWindow()->frameGeometry()))
                       : "no question";
            QTimer::singleShot(0, box, [&, box] {  // while the next command waits on the line
                onLineAtAnswer = window_->link().commandFrame();
                for (QAbstractButton *b : box->buttons())
                    if (b->text() == answer)
                        return b->click();
                QTest::keyClick(box, Qt::Key_Return);
            });
        });
        QTimer::singleShot(0, this, [&] {  // a second Space, on whatever has the focus then
            QTest::keyClick(window_->focusWidget() ? window_->focusWidget() : window_.get(), Qt::Key_Space);
        });
        start->setFocus();
        QTest::keyClick(start, Qt::Key_Space);

        QCOMPARE(seen, QString("1Continue0"));  // beside the progress window, not over it
        if (answer == "Stop") {
            QTRY_VERIFY(!window_->isVisible());
            QTRY_COMPARE(port_->modem->receivedFrames().last(), onLineAtAnswer);
            QVERIFY(!port_->modem->waitForFrames(int(port_->modem->receivedFrames().size()) + 1, 300));
            window_.reset();
            QSerialPort again(port_->directory() + "/com1");
            QVERIFY2(again.open(QIODevice::ReadWrite), qPrintable(again.errorString()));
        } else {
            QVERIFY(port_->modem->waitForFrames(34, 10000) && window_->isVisible() && window_->cmdExit->isEnabled());
            QCOMPARE(window_->focusWidget(), static_cast<QWidget *>(start));
        }
    }

private:
    // How late is late is told by a reply's time against the window's: on a
    // shortened line a busy machine's tick moves the window's end by a good
    // part of the margin between the two, so these rows run on the real line.
    void reconnectOnRealLine(std::optional<RealLineTiming> &real)
    {
        real.emplace();
        cleanup();
        connectTo(knownModem());
    }

    void connectTo(const modemsim::ModemState &state)
    {
        port_ = std::make_unique<SimulatedPort>(state);
        window_ = std::make_unique<frmMain>(port_->directory());
        window_->show();
        boxes_ = std::make_unique<BoxWatcher>([w = window_.get()] { return w->progressWindow() && w->progressWindow()->isVisible(); });
        window_->cmdConnect->click();
        QVERIFY(window_->link().isOpen());
        progress_.clear();
        connect(window_.get(), &frmMain::progressChanged, this, [this](int value) { progress_ << value; });
    }

    std::unique_ptr<SimulatedPort> port_;
    std::unique_ptr<frmMain> window_;
    std::unique_ptr<BoxWatcher> boxes_;
    QList<int> progress_;
};

QTEST_MAIN(DeviceTransferTest)
#include "test_device_transfer.moc"
