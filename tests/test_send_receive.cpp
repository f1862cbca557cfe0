// The send-and-wait transaction over a real pseudo-terminal: one full
// 200 ms window per command, whatever the modem does.
#include "link/device_protocol.h"
#include "link/serial_link.h"
#include "sim_fixture.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <ctime>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

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

    // A silent modem costs the whole window and no more (a reply that came
    // at once costs the whole window too: wholeReplyEndsTheWait), and the
    // wait sleeps instead of burning a core.
    void windowAndStrayBytes()
    {
        // "No more" is counted in ticks of the window's timer, which a busy
        // machine cannot stretch into a second one.
        QSignalSpy ticks(link_->findChild<QTimer *>("tmrTout"), &QTimer::timeout);
        qint64 elapsed = 0;
        port_->modem->setSilent(true);
        const double cpuBefore = processCpuMs();
        QVERIFY(transact(protocol::frameReadSettings(), &elapsed).isEmpty());
        const double cpu = processCpuMs() - cpuBefore;
        QVERIFY2(elapsed >= 199 && ticks.size() == 1, qPrintable(QString("%1 ms, %2 ticks").arg(elapsed).arg(ticks.size())));
        QVERIFY2(cpu < elapsed / 2.0, qPrintable(QString("%1 ms CPU in %2 ms").arg(cpu).arg(elapsed)));

        // Noise that arrives outside a transaction never becomes part of the
        // next reply (a late reply: wholeReplyEndsTheWait).
        // The caller learns of them: the previous reply may not have been the answer.
        port_->modem->setSilent(false);
        port_->modem->sendUnsolicited("noise");
        QTRY_COMPARE(cm()->bytesAvailable(), 5);
        const Exchange exchange = link_->transact(protocol::frameReadSettings());
        QCOMPARE(exchange.reply + '|' + exchange.strayBefore, kDemoSettings + "|noise");
    }

    // A message read of a modem that starts to answer 50 ms late ends 20 ms
    // after its window: it is waited for, and taken when it is whole and the
    // line stays quiet behind it. One byte more 5 ms later and it is refused.
    void replyStillArrivingAtTheTick_data()
    {
        QTest::addColumn<bool>("fast");
        QTest::addColumn<bool>("runsOn");
        for (const bool fast : {false, true})
            for (const bool runsOn : {false, true})
                QTest::addRow("%s%s", fast ? "whole reply" : "window", runsOn ? ", runs on" : "") << fast << runsOn;
    }
    void replyStillArrivingAtTheTick()
    {
        QFETCH(bool, fast);
        QFETCH(bool, runsOn);
        link_->setEndOnWholeReply(fast);
        port_->modem->setProcessingDelayMs(50);
        if (runsOn)
            port_->modem->trailReplyOfCommand(1, "x", 5);
        const QByteArray message = QByteArray("Fire at the north gate").leftJustified(160, '\0');
        modemsim::ModemState state = modemsim::demoState();
        state.memory.replace(protocol::messageSlotAddress(4), 160, message);
        port_->modem->setState(state);
        const QByteArray frame = protocol::frameReadMemory(protocol::messageSlotAddress(4), 160);

        const QByteArray reply = transact(frame, nullptr, protocol::memoryReply(160));

        QCOMPARE(reply.mid(2), message + (runsOn ? "x" : ""));
        QVERIFY(link_->isOpen() && !link_->hasLineLoss());
    }

    // Ending the wait on the whole reply changes how long a reply that fits
    // takes, never which bytes a transaction gets. A reply one byte too long,
    // a late one (waited out: the next command goes out once the line has been
    // quiet for a whole window), or a command that expects none, each takes
    // the window as without; counted in windows, the settling ones included.
    void wholeReplyEndsTheWait_data()
    {
        QTest::addColumn<bool>("fast");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("windows");
        for (const bool fast : {false, true})
            for (const auto &[fault, reply, windows] : QList<std::tuple<QString, QByteArray, int>>{
                     {"fits", kDemoSettings, fast ? 0 : 1}, {"one byte too long", QByteArray::fromHex("45 45 01 13 00 00"), 2},
                     {"late", {}, 3}, {"no reply expected", kDemoSettings, 1}})
                QTest::addRow("%s, %s", fast ? "whole reply" : "window", qPrintable(fault)) << fast << fault << reply << windows;
    }
    void wholeReplyEndsTheWait()
    {
        QFETCH(bool, fast);
        QFETCH(QString, fault);
        QFETCH(QByteArray, reply);
        QFETCH(int, windows);
        link_->setEndOnWholeReply(fast);
        port_->modem->injectBeforeNextReply(fault == "one byte too long" ? "E" : "");  // its first 5 bytes fit
        port_->modem->setProcessingDelayMs(fault == "late" ? 300 : 0);  // well past the window, even on a busy machine
        const auto expected = fault == "no reply expected" ? std::nullopt : std::optional(protocol::kSettingsReply);
        QSignalSpy ticks(link_->findChild<QTimer *>("tmrTout"), &QTimer::timeout);

        QCOMPARE(transact(protocol::frameReadSettings(), nullptr, expected), reply);
        QCOMPARE(ticks.size(), windows);
        port_->modem->setProcessingDelayMs(10);
        QCOMPARE(transact(protocol::frameReadSettings(), nullptr, protocol::kSettingsReply), kDemoSettings);
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

    // A line that keeps sending after a reply that did not fit is given up
    // within a few seconds, like a lost one; a stop asked for meanwhile (the
    // window closing, Ctrl-C) ends that wait within 0.3 s, and says nothing.
    void babblingLine_data()
    {
        QTest::addColumn<bool>("stop");
        QTest::newRow("given up") << false;
        QTest::newRow("stop asked") << true;
    }
    void babblingLine()
    {
        QFETCH(bool, stop);
        port_->modem->sendUnsolicited(QByteArray(8000, 'x'));  // about 8 s at the line rate
        QTRY_VERIFY(cm()->bytesAvailable() > 0);
        QElapsedTimer sinceStop;
        link_->setStopCheck([&] { return sinceStop.isValid(); });
        if (stop)
            QTimer::singleShot(500, this, [&] { sinceStop.start(); });
        qint64 elapsed = 0;
        transact(protocol::frameReadSettings(), &elapsed, protocol::kSettingsReply);
        const QString loss = link_->takeLineLoss();
        QVERIFY2(stop ? sinceStop.elapsed() < 300 && link_->isOpen() && loss.isEmpty()
                      : elapsed >= 2000 && elapsed < 6000 && !link_->isOpen() && loss.contains("did not go quiet"),
                 qPrintable(QString("%1 ms, %2 ms after the stop, %3, loss: %4").arg(elapsed).arg(sinceStop.isValid() ? sinceStop.elapsed() : -1)
                                .arg(link_->isOpen() ? "open" : "closed", loss)));
    }

    // Every name of one device takes the same lock, and the device itself is
    // locked too: a second opener is refused, root or not, whoever came first
    // (this link by its COM link, another program by the lock file of the
    // device's own name, or by a lock on the device, even a shared one).
    void secondOpenerRefused_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<bool>("byDevicePath");  // else by a second link
        QTest::newRow("COM link, then device path") << "link" << true;
        QTest::newRow("COM link, then another link") << "link" << false;
        QTest::newRow("lock file, then a link") << "lock file" << false;
        QTest::newRow("device lock, then device path") << "device lock" << true;
        QTest::newRow("shared device lock, then a link") << "shared device lock" << false;
    }
    void secondOpenerRefused()
    {
        QFETCH(QString, first);
        QFETCH(bool, byDevicePath);
        const QString device = port_->modem->slavePath();
        const QString other = port_->directory() + "/other";
        QVERIFY(QFile::link(device, other));
        QSerialPort plain(device);
        const int fd = first.endsWith("device lock") ? ::open(QFile::encodeName(device), O_RDWR | O_NOCTTY) : -1;
        if (first != "link") {
            link_.reset();
            QVERIFY(first == "lock file" ? plain.open(QIODevice::ReadWrite)
                                         : ::flock(fd, (first == "device lock" ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0);
        }
        SerialLink second(port_->directory());
        QString error;
        QVERIFY(!second.openDevice(byDevicePath ? device : other, "the second", &error));
        // The lock file names its owner and its process: this one.
        const QString lockFile = QString(". The lock file /var/lock/LCK..%1 of user %2 names process %3 (test_send_receive), "
                                         "which is running. Close that program, or ask %2 or an administrator to remove the lock file.")
                                     .arg(device.mid(5).replace('/', '_'), ::getpwuid(::geteuid())->pw_name)
                                     .arg(QCoreApplication::applicationPid());
        QCOMPARE(error, "the second: The device is in use by another program" + (first.endsWith("device lock") ? QString() : lockFile));
        link_.reset();
        plain.close();
        if (fd >= 0)
            ::close(fd);
        QVERIFY2(second.openDevice(other, "the second", &error), qPrintable(error));
    }

private:
    QByteArray transact(const QByteArray &frame, qint64 *elapsedMs = nullptr,
                        std::optional<protocol::ReplyShape> expected = std::nullopt)
    {
        QElapsedTimer clock;
        clock.start();
        const Exchange exchange = link_->transact(frame, expected);
        if (elapsedMs)
            *elapsedMs = clock.elapsed();
        return exchange.reply;
    }
    QSerialPort *cm() const { return link_->findChild<QSerialPort *>("cm"); }
    std::unique_ptr<SimulatedPort> port_;
    std::unique_ptr<SerialLink> link_;
};

QTEST_GUILESS_MAIN(SendReceiveTest)
#include "test_send_receive.moc"
