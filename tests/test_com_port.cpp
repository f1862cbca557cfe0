// COM numbers against a folder of fake device entries.
#include "link/com_port.h"
#include "link/port_access.h"

#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

class ComPortTest : public QObject {
    Q_OBJECT
private slots:
    // devices: fake entries in the device folder ("name>target" is a link);
    // links: "comN>name" in the ports folder, name relative to the device folder;
    // expected: "N device" for the numbers checked; present: the numbers listed as present.
    void numbering_data()
    {
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
        QTest::newRow("a link overrides its number only")
            << QStringList{"ttyS0", "ttyUSB0"} << QStringList{"com1>ttyUSB0", "com9>ttyS0"}
            << QStringList{"1 <ports>/com1", "2 <dev>/ttyUSB0", "9 <ports>/com9", "3 "} << "1 2 9";
        QTest::newRow("a dangling link keeps its number but is not present")
            << QStringList{"ttyS0"} << QStringList{"com1>gone"} << QStringList{"1 <ports>/com1", "2 "} << "";
    }
    void numbering()
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
        for (const QString &link : links)
            QVERIFY(QFile::link(dev.filePath(link.section('>', 1)), ports.filePath(link.section('>', 0, 0))));
        QStringList found, listed;
        for (const QString &check : expected) {
            const int number = check.section(' ', 0, 0).toInt();
            found << QString("%1 %2").arg(number).arg(comPortDevice(number, ports.path(), dev.path()))
                                     .replace(dev.path(), "<dev>").replace(ports.path(), "<ports>");
        }
        QCOMPARE(found, expected);
        for (const PresentComPort &port : presentComPorts(ports.path(), dev.path()))
            listed << QString::number(port.number);
        QCOMPARE(listed.join(' '), present);
    }

    // The advice names the group that owns the device, and is given only
    // where the device's own permissions keep this process out.
    void permissionHint_data()
    {
        QTest::addColumn<int>("mode");  // -1: no device
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("hint");
        const struct group *dialout = getgrnam("dialout");
        const QString join = QString("join its group \"%1\"").arg(dialout ? "dialout" : "20");
        QTest::newRow("not in the group") << 0660 << int(QSerialPort::PermissionError) << join;
        QTest::newRow("open to all: a lock refused it") << 0666 << int(QSerialPort::PermissionError) << "";
        QTest::newRow("other error") << 0660 << int(QSerialPort::DeviceNotFoundError) << "";
        QTest::newRow("no device") << -1 << int(QSerialPort::PermissionError) << "";
    }
    void permissionHint()
    {
        QFETCH(int, mode);
        QFETCH(int, error);
        QFETCH(QString, hint);
        if (geteuid() != 0)
            QSKIP("giving a file to another owner needs root");
        QTemporaryDir dir;
        const QString device = dir.filePath("ttyUSB0");
        const struct group *dialout = getgrnam("dialout");
        if (mode >= 0) {
            QVERIFY(QFile(device).open(QIODevice::WriteOnly));
            QCOMPARE(chown(QFile::encodeName(device).constData(), 65534, dialout ? dialout->gr_gid : 20), 0);
            QCOMPARE(chmod(QFile::encodeName(device).constData(), mode), 0);
        }
        const QString given = ::permissionHint(device, QSerialPort::SerialPortError(error));
        QVERIFY2(hint.isEmpty() ? given.isEmpty()
                                : given.contains(hint) && given.contains(device) && given.contains("log in again"),
                 qPrintable(given));
    }
};

QTEST_GUILESS_MAIN(ComPortTest)
#include "test_com_port.moc"
