// The modem simulator seen from the tool's side: a QSerialPort on the pty slave.

#include "tools/modemsim/modem_simulator.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QSerialPort>
#include <QTest>

#include <memory>

using namespace modemsim;

namespace {

const QByteArray kE2("&\x02" "E2", 4);
const QByteArray kDemoE2Reply("E\x01\x13\x00\x00", 5);

// Collects bytes until `size` are in or the time is up.
QByteArray readBytes(QSerialPort &port, qsizetype size, int timeoutMs = 2000)
{
    QByteArray bytes = port.readAll();
    const QDeadlineTimer deadline(timeoutMs);
    while (bytes.size() < size && port.waitForReadyRead(int(deadline.remainingTime())))
        bytes += port.readAll();
    return bytes;
}

}  // namespace

class TestModemSim : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ModemSimulator> sim_;
    std::unique_ptr<QSerialPort> port_;

private slots:
    void init()
    {
        sim_ = std::make_unique<ModemSimulator>();
        QString error;
        QVERIFY2(sim_->start(&error), qPrintable(error));
        port_ = std::make_unique<QSerialPort>(sim_->slavePath());
        port_->setBaudRate(QSerialPort::Baud9600);
        QVERIFY2(port_->open(QIODevice::ReadWrite), qPrintable(port_->errorString()));
    }

    void cleanup()
    {
        port_.reset();
        sim_.reset();
    }

    void malformedFrameGetsNoReply_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("wrong first byte") << QByteArray("%\x02" "E2", 4);
        QTest::newRow("unknown letters") << QByteArray("&\x02XY", 4);
        QTest::newRow("LEN wrong for E2") << QByteArray("&\x03" "E2", 4);
        QTest::newRow("LEN wrong for E0") << QByteArray("&\x02" "E0", 4);
        QTest::newRow("MW COUNT not LEN - 5") << QByteArray("&\x08MW\x00\x00\x02" "abc", 10);
        QTest::newRow("truncated MR, given up after a pause") << QByteArray("&\x05MR\x00", 5);
    }

    void malformedFrameGetsNoReply()
    {
        QFETCH(QByteArray, bytes);
        const QByteArray memoryBefore = sim_->state().memory;
        port_->write(bytes);
        QTRY_COMPARE(sim_->discardedBytes(), bytes);
        // A reply to the bad frame would come before this one.
        port_->write(kE2);
        QCOMPARE(readBytes(*port_, kDemoE2Reply.size()), kDemoE2Reply);
        QCOMPARE(sim_->receivedFrames(), QByteArrayList{kE2});
        QVERIFY(sim_->state().memory == memoryBefore);
    }

    // 162 bytes at 9600 baud 8N1: about 170 ms from the first byte to the last.
    void replyPacedAtLineRate()
    {
        port_->write(QByteArray("&\x05MR\x00\x01\xA0", 7));
        QVERIFY(port_->waitForBytesWritten(1000));
        QElapsedTimer clock;
        clock.start();
        QByteArray reply;
        qint64 first = -1;
        const QDeadlineTimer deadline(2000);
        while (reply.size() < 162 && port_->waitForReadyRead(int(deadline.remainingTime()))) {
            if (first < 0)
                first = clock.elapsed();
            reply += port_->readAll();
        }
        const qint64 spread = clock.elapsed() - first;
        QCOMPARE(reply.size(), 162);
        QVERIFY2(first <= 150, qPrintable(QString::number(first)));
        QVERIFY2(spread >= 140 && spread <= 400, qPrintable(QString::number(spread)));
    }
};

QTEST_GUILESS_MAIN(TestModemSim)
#include "test_modemsim.moc"
