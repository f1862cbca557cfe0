// A bench shared by several users: files written into folders every user
// may write to, a port lock file another user left, a tool that floods the
// simulator.
#include "configfile/output_file.h"
#include "link/port_lock.h"
#include "link/serial_link.h"
#include "sim_fixture.h"
#include "tools/modemsim/reply_pacer.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTest>

#include <tuple>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool plant(const QString &path, const QByteArray &bytes, uid_t owner, mode_t mode)
{
    QFile file(path);
    const bool written = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    file.close();
    return written && ::chown(qPrintable(path), owner, owner) == 0 && ::chmod(qPrintable(path), mode) == 0;
}

bool matches(const QString &pattern, const QString &text) { return QRegularExpression(pattern).match(text).hasMatch(); }

}  // namespace

// The planted files and links belong to nobody: the test must run as root
// to give them away.
#define NEEDS_OTHER_USER                                                                                                \
    if (::geteuid() != 0 || !nobodyId)                                                                                  \
        QSKIP("plants files of another user (nobody): needs root and the user nobody");

class SharedBenchTest : public QObject {
    Q_OBJECT
    uid_t nobodyId = ::getpwnam("nobody") ? ::getpwnam("nobody")->pw_uid : 0;
private slots:

    // Written as root into folders that are sticky and every user's (shared/
    // is root's, others/ is nobody's) and into a private one (plain/).
    void outputRules_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("writtenAt");  // empty: refused
        QTest::addColumn<int>("mode");           // of the written file, with umask 022
        QTest::addColumn<QString>("refusal");    // a pattern; BASE: the test's folder
        const QString link = "^BASE/%1 is a symbolic link of user nobody in BASE/shared, a folder every user may "
                             "write to: it is not followed\\. Remove the link, or choose another name\\.$";
        QTest::newRow("another's link") << "shared/link" << "" << 0 << link.arg("shared/link");
        QTest::newRow("another's dangling link") << "shared/dangling" << "" << 0 << link.arg("shared/dangling");
        QTest::newRow("another's link on the way") << "shared/way/victim" << "" << 0 << link.arg("shared/way");
        QTest::newRow("another's file") << "shared/planted" << "" << 0
                                        << "^BASE/shared/planted belongs to user nobody, in BASE/shared, a folder every "
                                           "user may write to: it is not replaced\\. Remove it, or choose another name\\.$";
        QTest::newRow("own link") << "shared/mine" << "victim" << 0600 << "";
        QTest::newRow("folder owner's link") << "others/link" << "victim" << 0600 << "";
        QTest::newRow("link in a private folder") << "plain/link" << "victim" << 0600 << "";
        QTest::newRow("own file, open to all") << "shared/open" << "shared/open" << 0644 << "";
        QTest::newRow("own file, for its group") << "shared/narrow" << "shared/narrow" << 0640 << "";
        QTest::newRow("new file") << "shared/new" << "shared/new" << 0644 << "";
    }
    void outputRules()
    {
        QFETCH(QString, target);
        QFETCH(QString, writtenAt);
        QFETCH(int, mode);
        QFETCH(QString, refusal);
        NEEDS_OTHER_USER
        QTemporaryDir dir;
        const QString base = dir.path();
        for (const char *folder : {"shared", "others", "plain"})
            QVERIFY(QDir(base).mkdir(folder));
        QVERIFY(::chmod(qPrintable(base + "/shared"), 01777) == 0 && ::chmod(qPrintable(base + "/others"), 01777) == 0);
        QVERIFY(::chown(qPrintable(base + "/others"), nobodyId, nobodyId) == 0);
        QVERIFY(plant(base + "/victim", "victim", 0, 0600) && plant(base + "/shared/planted", "planted", nobodyId, 0666));
        QVERIFY(plant(base + "/shared/open", "open", 0, 0666) && plant(base + "/shared/narrow", "narrow", 0, 0640));
        for (const auto &[name, to, owner] : {std::tuple("shared/link", "../victim", nobodyId), {"shared/dangling", "../created", nobodyId},
                                              {"shared/way", "..", nobodyId}, {"shared/mine", "../victim", 0},
                                              {"others/link", "../victim", nobodyId}, {"plain/link", "../victim", nobodyId}})
            QVERIFY(::symlink(to, qPrintable(base + "/" + name)) == 0 && ::lchown(qPrintable(base + "/" + name), owner, owner) == 0);

        const mode_t umaskBefore = ::umask(022);
        OutputFile file;
        const bool written = file.open(base + "/" + target) && file.write("new") && file.commit();
        ::umask(umaskBefore);

        if (refusal.isEmpty()) {
            QVERIFY2(written, qPrintable(file.errorString()));
            QCOMPARE(readFile(base + "/" + writtenAt), QByteArray("new"));
            struct stat info {};
            QVERIFY(::stat(qPrintable(base + "/" + writtenAt), &info) == 0);
            QCOMPARE(int(info.st_mode & 07777), mode);
            QCOMPARE(QFileInfo(base + "/" + target).isSymLink(), target.endsWith("link") || target.endsWith("mine"));
        } else {
            QVERIFY2(!written && matches(refusal.replace("BASE", QRegularExpression::escape(base)), file.errorString()),
                     qPrintable(file.errorString()));
            QCOMPARE(readFile(base + "/victim"), QByteArray("victim"));
            QCOMPARE(readFile(base + "/shared/planted"), QByteArray("planted"));
            QVERIFY(!QFileInfo::exists(base + "/created"));
        }
        QCOMPARE(QDir(base + "/shared").entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).filter("."), QStringList());
    }

    // Qt Serial Port's lock file for the port, planted by another user: the
    // operator learns whose it is, what it names and what to do; one that
    // names no process and is not new goes, and the port opens.
    void plantedLockFile_data()
    {
        QTest::addColumn<QByteArray>("content");  // PID: this test, running
        QTest::addColumn<int>("ageSeconds");
        QTest::addColumn<QString>("told");        // a pattern; empty: the port opens
        const QString start = "^the port: Permission error while locking the device\\. The lock file LOCK of user nobody ";
        QTest::newRow("a running process") << QByteArray("PID\ntest_shared_bench\nHOST\n") << 0
                                           << "^the port: The device is in use by another program\\. The lock file LOCK of user nobody "
                                              "names process PID \\(test_shared_bench\\), which is running\\. Close that program, "
                                              "or ask nobody or an administrator to remove the lock file\\.$";
        QTest::newRow("no process, just made") << QByteArray() << 0
                                               << start + "names no process\\. Ask nobody or an administrator to remove "
                                                          "the lock file\\.$";
        QTest::newRow("no process, left behind") << QByteArray("garbage\n") << 10 << "";
    }
    void plantedLockFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, ageSeconds);
        QFETCH(QString, told);
        NEEDS_OTHER_USER
        if (!QFileInfo("/var/lock").isDir())
            QSKIP("no /var/lock on this machine");
        SimulatedPort port;
        const QString device = port.modem->slavePath();
        const QString lock = "/var/lock/LCK.." + device.mid(5).replace('/', '_');
        const QString pid = QString::number(QCoreApplication::applicationPid());
        content.replace("PID", pid.toLatin1()).replace("HOST", QSysInfo::machineHostName().toLatin1());
        QVERIFY(plant(lock, content, nobodyId, 0644));
        const timeval past{::time(nullptr) - ageSeconds, 0}, times[2] = {past, past};
        QVERIFY(::utimes(qPrintable(lock), times) == 0);

        QString error;
        const bool opened = SerialLink(port.directory()).openDevice(device, "the port", &error);
        QFile::remove(lock);  // never left for the next user of this terminal's number

        QCOMPARE(opened, told.isEmpty());
        QVERIFY2(opened || matches(told.replace("LOCK", QRegularExpression::escape(lock)).replace("PID", pid), error),
                 qPrintable(error));
    }

    // The words for a lock file whose process ended; QSerialPort itself
    // removes such a file whenever it may, so this reaches the operator
    // only when another user's file stays.
    void lockOfAnEndedProcess()
    {
        NEEDS_OTHER_USER
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(0);
        QVERIFY(child > 0 && ::waitpid(child, nullptr, 0) == child);
        QTemporaryDir dir;
        QVERIFY(plant(dir.filePath("LCK..ttyUSB0"), QByteArray::number(child) + "\nminicom\n", nobodyId, 0644));
        QCOMPARE(lockFileObstacle(dir.filePath("LCK..ttyUSB0")),
                 QString("The lock file %1 of user nobody names process %2 (minicom), which is no longer running. Ask "
                         "nobody or an administrator to remove the lock file.").arg(dir.filePath("LCK..ttyUSB0")).arg(child));
    }


    // Frames keep coming and the tool never reads: the simulator's logs keep
    // the latest frames and discarded bytes, its replies a bounded queue.
    void simulatorStaysBounded()
    {
        SimulatedPort port;
        port.modem->setPaceAtLineRate(false);
        QSerialPort tool(port.modem->slavePath());
        QVERIFY(tool.open(QIODevice::ReadWrite));
        const QByteArray settings = QByteArray::fromHex("26 02 45 32");
        const QByteArray lastRead = QByteArray::fromHex("26 05 4d 52 00 01 a0");
        tool.write(settings.repeated(5000) + QByteArray(70000, '\0') + lastRead);
        while (tool.bytesToWrite() > 0)
            QVERIFY(tool.waitForBytesWritten(10000));
        QVERIFY(port.modem->waitForFrames(5001, 20000));

        const QList<QByteArray> frames = port.modem->receivedFrames();
        QCOMPARE(frames.size(), 4096);
        QCOMPARE(frames.constLast(), lastRead);
        QCOMPARE(port.modem->discardedBytes(), QByteArray(65536, '\0'));
        modemsim::ReplyPacer pacer;
        int queued = 0;
        for (int n = 0; n < 1000; ++n)
            queued += pacer.enqueue(QByteArray(163, 'M'), modemsim::ReplyPacer::Clock::now()) ? 1 : 0;
        QCOMPARE(queued, 65536 / 163);
    }
};

QTEST_GUILESS_MAIN(SharedBenchTest)
#include "test_shared_bench.moc"
