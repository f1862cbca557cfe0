// The send-and-wait transaction over a real pseudo-terminal: one full
// 200 ms window per command, whatever the modem does.
#include "link/device_protocol.h"
#include "link/serial_link.h"
#include "sim_fixture.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QDeadlineTimer>
#include <QSignalSpy>
#include <QThread>
#include <QTest>

#include <ctime>
#include <sys/ioctl.h>

namespace {

double processCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

}  // namespace

class SendReceiveTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void earlyReplyStillCostsTheWindow();
    void pacedLongReplyArrivesWhole();
    void strayBytesAreNotTheNextReply();
    void bytesWaitingAtTheTickBelongToTheReply();
    void closedPortReturnsAtOnce();
    void waitSleeps();
    void hangUpClosesThePortOnce();

private:
    QByteArray transact(const QByteArray &frame, qint64 *elapsedMs = nullptr);
    std::unique_ptr<SimulatedPort> port_;
    std::unique_ptr<SerialLink> link_;
};

void SendReceiveTest::init()
{
    port_ = std::make_unique<SimulatedPort>();
    link_ = std::make_unique<SerialLink>(port_->directory());
    QString error;
    QVERIFY2(link_->open(1, &error), qPrintable(error));
}

void SendReceiveTest::cleanup()
{
    link_.reset();
    port_.reset();
}

QByteArray SendReceiveTest::transact(const QByteArray &frame, qint64 *elapsedMs)
{
    QElapsedTimer clock;
    clock.start();
    link_->CommandFrame = frame;
    link_->SendReceive();
    if (elapsedMs)
        *elapsedMs = clock.elapsed();
    return link_->ReplyData;
}

void SendReceiveTest::earlyReplyStillCostsTheWindow()
{
    port_->modem->setProcessingDelayMs(0);
    qint64 elapsed = 0;
    const QByteArray reply = transact(protocol::frameReadSettings(), &elapsed);
    const modemsim::ModemState state = port_->modem->state();
    QCOMPARE(reply.size(), 5);
    QCOMPARE(reply[0], 'E');
    QCOMPARE(quint8(reply[1]), state.slaveId);
    QCOMPARE(quint8(reply[2]) | quint8(reply[3]) << 8, int(state.enableMask));
    QVERIFY2(elapsed >= 199 && elapsed < 400, qPrintable(QString::number(elapsed)));
    QCOMPARE(port_->modem->receivedFrames(), QList<QByteArray>{protocol::frameReadSettings()});
}

void SendReceiveTest::pacedLongReplyArrivesWhole()
{
    const QByteArray reply = transact(protocol::frameReadMemory(protocol::messageSlotAddress(0), 160));
    QCOMPARE(reply.size(), 162);
    QCOMPARE(protocol::decodeMemoryTextReply(reply, 160).value_or("rejected"),
             QString::fromLatin1(port_->modem->state().textAt(0x0100, 160)));
}

// Bytes that arrive outside a transaction (a reply after its window
// closed, noise) never become part of the next reply.
void SendReceiveTest::strayBytesAreNotTheNextReply()
{
    auto *cm = link_->findChild<QSerialPort *>("cm");
    QVERIFY(cm);
    port_->modem->setProcessingDelayMs(250);
    QVERIFY(transact(protocol::frameReadSettings()).isEmpty());
    QTRY_COMPARE(cm->bytesAvailable(), 5);  // the late reply is in
    port_->modem->setProcessingDelayMs(0);
    QCOMPARE(transact(protocol::frameReadSettings()).size(), 5);

    port_->modem->sendUnsolicited("noise");
    QTRY_COMPARE(cm->bytesAvailable(), 5);
    const QByteArray reply = transact(protocol::frameReadSettings());
    QCOMPARE(reply.size(), 5);
    QVERIFY(protocol::decodeSettingsReply(reply));
}

// The reply lands in the system's buffer just as the window closes, before
// Qt has read it: it still belongs to this transaction.
void SendReceiveTest::bytesWaitingAtTheTickBelongToTheReply()
{
    port_->modem->setSilent(true);
    auto *cm = link_->findChild<QSerialPort *>("cm");
    auto *timer = link_->findChild<QTimer *>("tmrTout");
    QVERIFY(cm && timer);
    const QByteArray reply = QByteArray::fromHex("4507010000");
    // Runs right after the link's own tick handler, before the wait returns.
    connect(timer, &QTimer::timeout, this, [&] {
        port_->modem->sendUnsolicited(reply);
        int waiting = 0;
        QDeadlineTimer deadline(5000);
        while (ioctl(int(cm->handle()), FIONREAD, &waiting) == 0 && waiting < reply.size() && !deadline.hasExpired())
            QThread::usleep(100);
    });
    QCOMPARE(transact(protocol::frameReadSettings()), reply);
}

void SendReceiveTest::closedPortReturnsAtOnce()
{
    transact(protocol::frameReadSettings());
    const QByteArray before = link_->ReplyData;
    QVERIFY(!before.isEmpty());
    QString error;
    QVERIFY(link_->close(&error));
    port_->modem->clearLog();
    qint64 elapsed = 0;
    const QByteArray after = transact(protocol::frameReadMemory(0, 16), &elapsed);
    QCOMPARE(after, before);
    QVERIFY(elapsed < 50);
    QVERIFY(!port_->modem->waitForFrames(1, 100));
}

// A polling wait would burn a whole core for the 200 ms; the event loop sleeps.
void SendReceiveTest::waitSleeps()
{
    port_->modem->setSilent(true);
    const double cpuBefore = processCpuMs();
    qint64 elapsed = 0;
    transact(protocol::frameReadSettings(), &elapsed);
    const double cpu = processCpuMs() - cpuBefore;
    QVERIFY2(cpu < elapsed / 2.0, qPrintable(QString("%1 ms CPU in %2 ms").arg(cpu).arg(elapsed)));
}

void SendReceiveTest::hangUpClosesThePortOnce()
{
    QSignalSpy lost(link_.get(), &SerialLink::lineLost);
    port_->modem->dropLineAfterCommand(1);
    qint64 elapsed = 0;
    transact(protocol::frameReadSettings(), &elapsed);
    QVERIFY(!link_->isOpen());
    QVERIFY(link_->hasLineLoss());
    QVERIFY(elapsed < 200);
    QVERIFY(lost.wait(1000));
    QTest::qWait(50);  // a flood would show as more signals in this time
    QCOMPARE(lost.size(), 1);
    QVERIFY(link_->takeLineLoss().contains("COM 1"));
    QVERIFY(!link_->hasLineLoss());
}

QTEST_GUILESS_MAIN(SendReceiveTest)
#include "test_send_receive.moc"
