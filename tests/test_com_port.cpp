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

    // Joining the group is advised only where the group may read and write
    // the device; otherwise the advice names who may.
    void accessAdvice_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("ownerGroup");  // "owner:group"
        QTest::addColumn<QString>("process");     // "owner", "member" or ""
        QTest::addColumn<QString>("advice");
        const QString join = "To get access to /dev/ttyUSB0, join its group \"dialout\" (sudo usermod -aG dialout "
                             "$USER), then log out and log in again.";
        const QString ask = " may read and write /dev/ttyUSB0: ask the administrator to let a group you belong to "
                            "(such as \"dialout\") read and write it.";
        QTest::newRow("crw-rw---- root dialout") << 0660 << "root:dialout" << "" << join;
        QTest::newRow("crw-rw---- root dialout, a member") << 0660 << "root:dialout" << "member" << "";
        QTest::newRow("crw-rw-rw- root dialout") << 0666 << "root:dialout" << "" << "";
        QTest::newRow("crw------- root root") << 0600 << "root:root" << "" << "Only its owner \"root\"" + ask;
        QTest::newRow("crw--w---- root tty") << 0620 << "root:tty" << "member" << "Only its owner \"root\"" + ask;
        QTest::newRow("crw-rw---- root root: no advice to join root") << 0660 << "root:root" << "" << "Only its owner \"root\"" + ask;
        QTest::newRow("c--------- root root") << 0000 << "root:root" << "" << "Only root" + ask;
        QTest::newRow("cr--r----- own device") << 0440 << "op:op" << "owner"
                                               << "You own /dev/ttyUSB0 but may not read and write it (chmod u+rw "
                                                  "/dev/ttyUSB0 gives you access).";
        QTest::newRow("crw------- own device") << 0600 << "op:op" << "owner" << "";
    }
    void accessAdvice()
    {
        QFETCH(int, mode);
        QFETCH(QString, ownerGroup);
        QFETCH(QString, process);
        QFETCH(QString, advice);
        const QString group = ownerGroup.section(':', 1);
        const DeviceAccess access{"/dev/ttyUSB0", unsigned(mode), ownerGroup.section(':', 0, 0), group,
                                  process == "owner", process == "member", group == "root"};
        QCOMPARE(::accessAdvice(access), advice);
    }

    // The advice follows the port's own text as a sentence of its own, and
    // only when the device's permissions refused it.
    void permissionHint_data()
    {
        QTest::addColumn<int>("mode");  // -1: no device
        QTest::addColumn<int>("error");
        QTest::addColumn<bool>("advised");
        QTest::newRow("not in the group") << 0660 << int(QSerialPort::PermissionError) << true;
        QTest::newRow("open to all: a lock refused it") << 0666 << int(QSerialPort::PermissionError) << false;
        QTest::newRow("other error") << 0660 << int(QSerialPort::DeviceNotFoundError) << false;
        QTest::newRow("no device") << -1 << int(QSerialPort::PermissionError) << false;
    }
    void permissionHint()
    {
        QFETCH(int, mode);
        QFETCH(int, error);
        QFETCH(bool, advised);
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
        const QString message = "COM 1 (" + device + "): Permission denied";
        const QString real = QFileInfo(device).canonicalFilePath();
        const QString expected = message + QString(". To get access to %1, join its group \"%2\" (sudo usermod -aG %2 "
                                                   "$USER), then log out and log in again.")
                                               .arg(real, dialout ? "dialout" : "20");
        QCOMPARE(withPermissionHint(message, device, QSerialPort::SerialPortError(error)), advised ? expected : message);
    }
};

QTEST_GUILESS_MAIN(ComPortTest)
#include "test_com_port.moc"
