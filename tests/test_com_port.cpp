// COM numbers against a folder of fake device entries, and the advice
// added when a port refuses access.
#include "link/com_port.h"
#include "link/port_access.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

class ComPortTest : public QObject {
    Q_OBJECT
private slots:
    void numbering_data();
    void numbering();
    void permissionHint_data();
    void permissionHint();
};

void ComPortTest::numbering_data()
{
    // devices: fake entries in the device folder ("name>target" is a link);
    // links: "comN>name" in the ports folder, name relative to the device folder;
    // expected: "N device" for the numbers checked; present: the numbers listed as present.
    QTest::addColumn<QStringList>("devices");
    QTest::addColumn<QStringList>("links");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("present");

    QTest::newRow("serial gap: the USB and ACM devices follow the last serial port before it")
        << QStringList{"ttyS0", "ttyS1", "ttyS3", "ttyUSB0", "ttyACM0"} << QStringList{}
        << QStringList{"1 <dev>/ttyS0", "2 <dev>/ttyS1", "3 <dev>/ttyUSB0", "4 <dev>/ttyACM0", "5 ", "0 ", "256 "}
        << "1 2 3 4";
    QTest::newRow("no ttyS0: adapters start at COM 1, each family up to its own gap")
        << QStringList{"ttyS1", "ttyUSB0", "ttyUSB2", "ttyACM0", "ttyACM1"} << QStringList{}
        << QStringList{"1 <dev>/ttyUSB0", "2 <dev>/ttyACM0", "3 <dev>/ttyACM1", "4 "} << "1 2 3";
    QStringList serial32, present33;
    for (int i = 0; i < 32; ++i)
        serial32 << QString("ttyS%1").arg(i);
    for (int n = 1; n <= 33; ++n)
        present33 << QString::number(n);
    QTest::newRow("32 serial ports: the first adapter is COM 33")
        << serial32 + QStringList{"ttyUSB0"} << QStringList{}
        << QStringList{"32 <dev>/ttyS31", "33 <dev>/ttyUSB0", "34 "} << present33.join(' ');
    QTest::newRow("a link overrides its number only")
        << QStringList{"ttyS0", "ttyUSB0"} << QStringList{"com1>ttyUSB0", "com9>ttyS0"}
        << QStringList{"1 <ports>/com1", "2 <dev>/ttyUSB0", "9 <ports>/com9", "3 "} << "1 2 9";
    QTest::newRow("a dangling link keeps its number but is not present")
        << QStringList{"ttyS0"} << QStringList{"com1>gone"}
        << QStringList{"1 <ports>/com1", "2 "} << "";
    QTest::newRow("a dangling device entry counts as missing")
        << QStringList{"ttyS0", "ttyS1>gone", "ttyS2", "ttyUSB0"} << QStringList{}
        << QStringList{"1 <dev>/ttyS0", "2 <dev>/ttyUSB0", "3 "} << "1 2";
}

void ComPortTest::numbering()
{
    QFETCH(QStringList, devices);
    QFETCH(QStringList, links);
    QFETCH(QStringList, expected);
    QFETCH(QString, present);
    QTemporaryDir dev, ports;
    for (const QString &entry : devices) {
        const QStringList parts = entry.split('>');
        if (parts.size() == 2)
            QVERIFY(QFile::link(dev.filePath(parts[1]), dev.filePath(parts[0])));
        else if (entry.startsWith("ttyACM"))  // device nodes are no regular files
            QCOMPARE(mkfifo(QFile::encodeName(dev.filePath(entry)).constData(), 0600), 0);
        else
            QVERIFY(QFile(dev.filePath(entry)).open(QIODevice::WriteOnly));
    }
    for (const QString &link : links) {
        const QStringList parts = link.split('>');
        QVERIFY(QFile::link(dev.filePath(parts[1]), ports.filePath(parts[0])));
    }
    auto named = [&](QString path) { return path.replace("<dev>", dev.path()).replace("<ports>", ports.path()); };

    for (const QString &check : expected) {
        const int number = check.section(' ', 0, 0).toInt();
        QCOMPARE(comPortDevice(number, ports.path(), dev.path()), named(check.section(' ', 1)));
    }
    QStringList listed;
    for (const PresentComPort &port : presentComPorts(ports.path(), dev.path())) {
        QCOMPARE(port.device, comPortDevice(port.number, ports.path(), dev.path()));
        listed << QString::number(port.number);
    }
    QCOMPARE(listed.join(' '), present);
}

void ComPortTest::permissionHint_data()
{
    QTest::addColumn<uint>("owner");
    QTest::addColumn<uint>("group");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QSerialPort::SerialPortError>("error");
    QTest::addColumn<QString>("hintHas");

    const struct group *dialout = getgrnam("dialout");
    const uint dialoutGid = dialout ? dialout->gr_gid : 20;
    const uint nobody = 65534, noSuchGroup = 54321, self = geteuid();
    QTest::newRow("group device, not in the group") << nobody << dialoutGid << 0660 << QSerialPort::PermissionError
                                                    << "join its group \"dialout\"";
    QTest::newRow("group without a name") << nobody << noSuchGroup << 0660 << QSerialPort::PermissionError
                                          << "join its group \"54321\"";
    QTest::newRow("open to all: a lock refused it") << nobody << noSuchGroup << 0666 << QSerialPort::PermissionError
                                                    << "";
    QTest::newRow("own device") << self << noSuchGroup << 0600 << QSerialPort::PermissionError << "";
    QTest::newRow("other error") << nobody << noSuchGroup << 0660 << QSerialPort::DeviceNotFoundError << "";
    QTest::newRow("no device") << nobody << noSuchGroup << -1 << QSerialPort::PermissionError << "";
}

void ComPortTest::permissionHint()
{
    QFETCH(uint, owner);
    QFETCH(uint, group);
    QFETCH(int, mode);
    QFETCH(QSerialPort::SerialPortError, error);
    QFETCH(QString, hintHas);
    if (geteuid() != 0)
        QSKIP("giving a file to another owner and group needs root");
    QTemporaryDir dir;
    const QString device = dir.filePath("ttyUSB0");
    if (mode >= 0) {
        QVERIFY(QFile(device).open(QIODevice::WriteOnly));
        const QByteArray path = QFile::encodeName(device);
        QCOMPARE(chown(path.constData(), owner, group), 0);
        QCOMPARE(chmod(path.constData(), mode), 0);
    }
    const QString hint = ::permissionHint(device, error);
    if (hintHas.isEmpty()) {
        QCOMPARE(hint, QString());
    } else {
        QVERIFY2(hint.contains(hintHas) && hint.contains(device) && hint.contains("log in again"), qPrintable(hint));
    }
}

QTEST_GUILESS_MAIN(ComPortTest)
#include "test_com_port.moc"
