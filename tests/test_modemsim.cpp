// A smoke test of the test equipment: the simulator answers a frame over
// its pty and ignores one that is not a frame. The suites that use it check
// the rest of its behaviour on the way.
#include "tools/modemsim/modem_simulator.h"

#include <QSerialPort>
#include <QTest>

class TestModemSim : public QObject {
    Q_OBJECT
private slots:
    void answersFramesOnly()
    {
        modemsim::ModemSimulator sim;
        QString error;
        QVERIFY2(sim.start(&error), qPrintable(error));
        QSerialPort port(sim.slavePath());
        QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
        const QByteArray bad("%\x02" "E2", 4), e2("&\x02" "E2", 4);
        port.write(bad);
        QTRY_COMPARE(sim.discardedBytes(), bad);
        port.write(e2);
        QByteArray reply;
        QTRY_VERIFY((reply += port.readAll()).size() >= 5);
        QCOMPARE(reply, QByteArray("E\x01\x13\x00\x00", 5));  // the demo modem: slave 1, channels 1, 2 and 5
        QCOMPARE(sim.receivedFrames(), QByteArrayList{e2});
    }
};

QTEST_GUILESS_MAIN(TestModemSim)
#include "test_modemsim.moc"
