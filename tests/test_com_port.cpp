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
    void numbering()
    {
        auto check = [](const char *name, const QStringList &devices, const QStringList &links, const QStringList &expected,
                        const QString &present) {
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
            for (const QString &entry : expected) {
                const int number = entry.section(' ', 0, 0).toInt();
                found << QString("%1 %2").arg(number).arg(comPortDevice(number, ports.path(), dev.path()))
                                         .replace(dev.path(), "<dev>").replace(ports.path(), "<ports>");
            }
            for (const PresentComPort &port : presentComPorts(ports.path(), dev.path()))
                listed << QString::number(port.number);
            QVERIFY2(found == expected && listed.join(' ') == present, qPrintable(name + (": " + found.join(", ")) + " / " + listed.join(' ')));
        };
        check("serial gap: the USB and ACM devices follow the last serial port before it",
              {"ttyS0", "ttyS1", "ttyS3", "ttyUSB0", "ttyACM0"}, {},
              {"1 <dev>/ttyS0", "2 <dev>/ttyS1", "3 <dev>/ttyUSB0", "4 <dev>/ttyACM0", "5 ", "0 ", "256 "}, "1 2 3 4");
        check("no ttyS0: adapters start at COM 1, each family up to its own gap",
              {"ttyS1", "ttyUSB0", "ttyUSB2", "ttyACM0", "ttyACM1"}, {}, {"1 <dev>/ttyUSB0", "2 <dev>/ttyACM0", "3 <dev>/ttyACM1", "4 "},
              "1 2 3");
        check("a link overrides its number only", {"ttyS0", "ttyUSB0"}, {"com1>ttyUSB0", "com9>ttyS0"},
              {"1 <ports>/com1", "2 <dev>/ttyUSB0", "9 <ports>/com9", "3 "}, "1 2 9");
        check("a dangling link keeps its number but is not present", {"ttyS0"}, {"com1>gone"}, {"1 <ports>/com1", "2 "}, "");
    }

    // Joining the group is advised only where the group may read and write
    // the device; otherwise the advice names who may.
    void accessAdvice()
    {
        auto advised = [](int mode, const QString &ownerGroup, const QString &process) {  // process: "owner", "member" or ""
            const QString group = ownerGroup.section(':', 1);
            return ::accessAdvice({"/dev/ttyUSB0", unsigned(mode), ownerGroup.section(':', 0, 0), group, process == "owner",
                                   process == "member", group == "root"});
        };
        const QString join = "To get access to /dev/ttyUSB0, join its group \"dialout\" (sudo usermod -aG dialout "
                             "$USER), then log out and log in again.";
        const QString ask = " may read and write /dev/ttyUSB0: ask the administrator to let a group you belong to "
                            "(such as \"dialout\") read and write it.";
        QCOMPARE(advised(0660, "root:dialout", ""), join);
        QCOMPARE(advised(0660, "root:dialout", "member"), QString());
        QCOMPARE(advised(0666, "root:dialout", ""), QString());
        QCOMPARE(advised(0600, "root:root", ""), "Only its owner \"root\"" + ask);
        QCOMPARE(advised(0620, "root:tty", "member"), "Only its owner \"root\"" + ask);
        QCOMPARE(advised(0660, "root:root", ""), "Only its owner \"root\"" + ask);  // no advice to join root
        QCOMPARE(advised(0000, "root:root", ""), "Only root" + ask);
        QCOMPARE(advised(0440, "op:op", "owner"),
                 QString("You own /dev/ttyUSB0 but may not read and write it (chmod u+rw /dev/ttyUSB0 gives you access)."));
        QCOMPARE(advised(0600, "op:op", "owner"), QString());
    }

    // The advice follows the port's own text as a sentence of its own, and
    // only when the device's permissions refused it.
    void permissionHint()
    {
        if (geteuid() != 0)
            QSKIP("giving a file to another owner needs root");
        const struct group *dialout = getgrnam("dialout");
        auto hinted = [dialout](int mode, QSerialPort::SerialPortError error) {  // mode -1: no device
            QTemporaryDir dir;
            const QString device = dir.filePath("ttyUSB0");
            if (mode >= 0 && !(QFile(device).open(QIODevice::WriteOnly)
                               && chown(QFile::encodeName(device).constData(), 65534, dialout ? dialout->gr_gid : 20) == 0
                               && chmod(QFile::encodeName(device).constData(), mode) == 0))
                return QString("cannot plant the device");
            const QString message = "COM 1 (" + device + "): Permission denied";
            const QString hint = QString(". To get access to %1, join its group \"%2\" (sudo usermod -aG %2 $USER), then log out "
                                         "and log in again.").arg(QFileInfo(device).canonicalFilePath(), dialout ? "dialout" : "20");
            const QString said = withPermissionHint(message, device, error);
            return said == message ? QString("no hint") : said == message + hint ? QString("hint") : said;
        };
        QCOMPARE(hinted(0660, QSerialPort::PermissionError), QString("hint"));  // not in the group
        QCOMPARE(hinted(0666, QSerialPort::PermissionError), QString("no hint"));  // open to all: a lock refused it
        QCOMPARE(hinted(0660, QSerialPort::DeviceNotFoundError), QString("no hint"));
        QCOMPARE(hinted(-1, QSerialPort::PermissionError), QString("no hint"));
    }
};

QTEST_GUILESS_MAIN(ComPortTest)
#include "test_com_port.moc"
