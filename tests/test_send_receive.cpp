// The send-and-wait transaction over a real pseudo-terminal: one full
// 200 ms window per command, whatever the modem does.
#include "link/device_protocol.h"
#include "link/serial_link.h"
#include "sim_fixture.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QSerialPort>
#include <QTest>
#include <QThread>

#include <ctime>
#include <sys/ioctl.h>

namespace {

double processCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

const QByteArray kDemoSettings = QByteArray::fromHex("45 01 13 00 00");  // slave 1, channels 1, 2 and 5

}  // namespace

class SendReceiveTest : public QObject {
    Q_OBJECT
private slots:

    void init()
    {
        port_ = std::make_unique<SimulatedPort>();
        link_ = std::make_unique<SerialLink>(port_->directory());
        QString error;
        QVERIFY2(link_->open(1, &error), qPrintable(error));
        QVERIFY(cm());
    }

    void cleanup()
    {
        link_.reset();
        port_.reset();
    }

    // An instant reply still costs the whole window; a silent modem costs no
    // more, and the wait sleeps instead of burning a core.
    void earlyReplyStillCostsTheWindow()
    {
        port_->modem->setProcessingDelayMs(0);
        qint64 elapsed = 0;
        QCOMPARE(transact(protocol::frameReadSettings(), &elapsed), kDemoSettings);
        QVERIFY2(elapsed >= 199 && elapsed < 400, qPrintable(QString::number(elapsed)));
        QCOMPARE(port_->modem->receivedFrames(), QList<QByteArray>{protocol::frameReadSettings()});

        port_->modem->setSilent(true);
        const double cpuBefore = processCpuMs();
        QVERIFY(transact(protocol::frameReadSettings(), &elapsed).isEmpty());
        const double cpu = processCpuMs() - cpuBefore;
        QVERIFY2(elapsed >= 199 && elapsed < 400, qPrintable(QString::number(elapsed)));
        QVERIFY2(cpu < elapsed / 2.0, qPrintable(QString("%1 ms CPU in %2 ms").arg(cpu).arg(elapsed)));
    }

    // Bytes that arrive outside a transaction (a reply after its window
    // closed, noise) never become part of the next reply.
    void strayBytesAreNotTheNextReply()
    {
        port_->modem->setProcessingDelayMs(250);
        QVERIFY(transact(protocol::frameReadSettings()).isEmpty());
        QTRY_COMPARE(cm()->bytesAvailable(), 5);  // the late reply is in
        port_->modem->setProcessingDelayMs(0);
        QCOMPARE(transact(protocol::frameReadSettings()), kDemoSettings);
        port_->modem->sendUnsolicited("noise");
        QTRY_COMPARE(cm()->bytesAvailable(), 5);
        QCOMPARE(transact(protocol::frameReadSettings()), kDemoSettings);
    }

    // The reply lands in the system's buffer just as the window closes, before
    // Qt has read it: it still belongs to this transaction.
    void bytesWaitingAtTheTickBelongToTheReply()
    {
        port_->modem->setSilent(true);
        auto *timer = link_->findChild<QTimer *>("tmrTout");
        QVERIFY(timer);
        const QByteArray reply = QByteArray::fromHex("4507010000");
        // Runs right after the link's own tick handler, before the wait returns.
        connect(timer, &QTimer::timeout, this, [&] {
            port_->modem->sendUnsolicited(reply);
            int waiting = 0;
            QDeadlineTimer deadline(5000);
            while (ioctl(int(cm()->handle()), FIONREAD, &waiting) == 0 && waiting < reply.size() && !deadline.hasExpired())
                QThread::usleep(100);
        });
        QCOMPARE(transact(protocol::frameReadSettings()), reply);
    }

private:
    QByteArray transact(const QByteArray &frame, qint64 *elapsedMs = nullptr)
    {
        QElapsedTimer clock;
        clock.start();
        link_->CommandFrame = frame;
        link_->SendReceive();
        if (elapsedMs)
            *elapsedMs = clock.elapsed();
        return link_->ReplyData;
    }
    QSerialPort *cm() const { return link_->findChild<QSerialPort *>("cm"); }
    std::unique_ptr<SimulatedPort> port_;
    std::unique_ptr<SerialLink> link_;
};

QTEST_GUILESS_MAIN(SendReceiveTest)
#include "test_send_receive.moc"
