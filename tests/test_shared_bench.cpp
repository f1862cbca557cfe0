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
    return writeFile(path, bytes) && ::chown(qPrintable(path), owner, owner) == 0 && ::chmod(qPrintable(path), mode) == 0;
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
    void outputRules()
    {
        NEEDS_OTHER_USER
        // writtenAt: empty when refused; mode: of the written file, with umask 022; refusal: a pattern, BASE the test's folder
        auto write = [this](const QString &target, const QString &writtenAt, int mode, QString refusal) {
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
                QVERIFY2(written, qPrintable(target + ": " + file.errorString()));
                struct stat info {};
                QVERIFY(::stat(qPrintable(base + "/" + writtenAt), &info) == 0);
                QCOMPARE(readFile(base + "/" + writtenAt) + ' ' + QByteArray::number(info.st_mode & 07777, 8) + ' '
                             + (QFileInfo(base + "/" + target).isSymLink() ? "link" : "file"),
                         "new " + QByteArray::number(mode, 8) + (target.endsWith("link") || target.endsWith("mine") ? " link" : " file"));
            } else {
                QVERIFY2(!written && matches(refusal.replace("BASE", QRegularExpression::escape(base)), file.errorString()),
                         qPrintable(file.errorString()));
                QCOMPARE(readFile(base + "/victim") + readFile(base + "/shared/planted"), QByteArray("victimplanted"));
                QVERIFY(!QFileInfo::exists(base + "/created"));
            }
            QCOMPARE(QDir(base + "/shared").entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).filter("."), QStringList());
        };
        const QString link = "^BASE/%1 is a symbolic link of user nobody in BASE/shared, a folder every user may "
                             "write to: it is not followed\\. Remove the link, or choose another name\\.$";
        write("shared/link", "", 0, link.arg("shared/link"));  // another's link
        write("shared/dangling", "", 0, link.arg("shared/dangling"));
        write("shared/way/victim", "", 0, link.arg("shared/way"));  // another's link on the way
        write("shared/planted", "", 0, "^BASE/shared/planted belongs to user nobody, in BASE/shared, a folder every "
                                       "user may write to: it is not replaced\\. Remove it, or choose another name\\.$");
        write("shared/mine", "victim", 0600, "");  // own link
        write("others/link", "victim", 0600, "");  // the folder owner's link
        write("plain/link", "victim", 0600, "");  // a link in a private folder
        write("shared/open", "shared/open", 0644, "");  // own file, open to all
        write("shared/narrow", "shared/narrow", 0640, "");  // own file, for its group
        write("shared/new", "shared/new", 0644, "");
    }

    // Qt Serial Port's lock file for the port, planted by another user: the
    // operator learns whose it is, what it names and what to do; one that
    // names no process and is not new goes, and the port opens.
    void plantedLockFile()
    {
        NEEDS_OTHER_USER
        if (!QFileInfo("/var/lock").isDir())
            QSKIP("no /var/lock on this machine");
        auto open = [this](QByteArray content, int ageSeconds, QString told) {  // content: PID is this test; told: a pattern
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
        };
        const QString start = "^the port: Permission error while locking the device\\. The lock file LOCK of user nobody ";
        open("PID\ntest_shared_bench\nHOST\n", 0, "^the port: The device is in use by another program\\. The lock file LOCK of user nobody "
                                                 "names process PID \\(test_shared_bench\\), which is running\\. Close that program, "
                                                 "or ask nobody or an administrator to remove the lock file\\.$");
        open({}, 0, start + "names no process\\. Ask nobody or an administrator to remove the lock file\\.$");  // just made
        open("garbage\n", 10, "");  // no process, left behind
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
        QVERIFY2(frames.size() == 4096 && frames.constLast() == lastRead, qPrintable(QString::number(frames.size())));
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
