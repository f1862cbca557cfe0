#include "link/port_lock.h"

#include "model/user_name.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>
#include <QStringList>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A lock file that names no process yet may be one its program is still
// writing; only an older one is taken for left behind.
constexpr qint64 kUnnamedLockAgeMs = 2000;

// The lock's texts share the serial link's translation context.
struct LinkText {
    Q_DECLARE_TR_FUNCTIONS(SerialLink)
};

struct LockFile {
    bool exists = false;
    uid_t owner = 0;
    qint64 ageMs = 0;
    int readError = 0;
    qint64 pid = 0;  // 0: it names no process
    QString program;
    bool running = false;
};

// Qt writes "pid\nprogram\nhost\n…" into its lock files; older programs
// write the pid alone, padded to ten characters. The name of a running
// process is taken from the system, not from the file.
LockFile inspect(const QString &path)
{
    LockFile lock;
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::lstat(name.constData(), &info) != 0)
        return lock;
    lock.exists = true;
    lock.owner = info.st_uid;
    lock.ageMs = QDateTime::currentMSecsSinceEpoch() - (qint64(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000);
    const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    char buffer[512];
    const ssize_t length = fd < 0 ? -1 : ::read(fd, buffer, sizeof buffer);
    lock.readError = length < 0 ? errno : 0;
    if (fd >= 0)
        ::close(fd);
    const QList<QByteArray> lines = QByteArray(buffer, std::max<ssize_t>(length, 0)).split('\n');
    bool number = false;
    const qint64 pid = lines.constFirst().trimmed().toLongLong(&number);
    if (!number || pid <= 0 || pid > INT_MAX)
        return lock;
    lock.pid = pid;
    lock.running = ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
    // The program's file when this user may see it, else its name cut to 15 characters.
    const QString executable = QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget();
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    lock.program = !lock.running ? QString::fromLocal8Bit(lines.value(1).trimmed())
                   : !executable.isEmpty() ? QFileInfo(executable).fileName()
                   : comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll().trimmed())
                                                    : QString();
    return lock;
}

bool stale(const LockFile &lock)
{
    return lock.exists && lock.readError == 0 && (lock.pid != 0 ? !lock.running : lock.ageMs > kUnnamedLockAgeMs);
}

}  // namespace

QString portLockFilePath(const QString &device)
{
    // Qt Serial Port's own choice: the first of these folders that may be
    // read and that holds the file already or may take it.
    QString name = device.startsWith(QLatin1String("/dev/")) ? device.mid(5) : device;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    const QStringList folders{QStringLiteral("/var/lock"),       QStringLiteral("/etc/locks"),
                              QStringLiteral("/var/spool/locks"), QStringLiteral("/var/spool/uucp"),
                              QStringLiteral("/tmp"),             QStringLiteral("/var/tmp"),
                              QStringLiteral("/var/lock/lockdev"), QStringLiteral("/run/lock"),
                              QStandardPaths::writableLocation(QStandardPaths::TempLocation)};
    for (const QString &folder : folders) {
        const QFileInfo info(folder);
        const QString path = folder + QStringLiteral("/LCK..") + name;
        if (info.isReadable() && (QFile::exists(path) || info.isWritable()))
            return path;
    }
    return {};
}

QString lockFileObstacle(const QString &path)
{
    const LockFile lock = inspect(path);
    if (!lock.exists)
        return {};
    const QString process = LinkText::tr("process %1").arg(lock.pid)
                            + (lock.program.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(lock.program));
    const QString holds = lock.readError != 0 ? LinkText::tr("cannot be read (%1)").arg(QString::fromLocal8Bit(std::strerror(lock.readError)))
                          : lock.pid == 0     ? LinkText::tr("names no process")
                          : lock.running      ? LinkText::tr("names %1, which is running").arg(process)
                                              : LinkText::tr("names %1, which is no longer running").arg(process);
    const QString owner = userName(lock.owner);
    return LinkText::tr("The lock file %1 of user %2 %3. %4")
        .arg(path, owner, holds,
             (lock.running ? LinkText::tr("Close that program, or ask %1 or an administrator to remove the lock file.")
                           : LinkText::tr("Ask %1 or an administrator to remove the lock file."))
                 .arg(owner));
}

bool lockFileNamesRunningProcess(const QString &path)
{
    const LockFile lock = inspect(path);
    return lock.exists && lock.running;
}

bool removeStaleLockFile(const QString &path)
{
    if (path.isEmpty() || !stale(inspect(path)))
        return false;
    // Qt's own guard against two processes at one stale lock file, so that
    // a lock taken meanwhile by the other is never removed.
    QLockFile guard(path + QStringLiteral(".rmlock"));
    return guard.tryLock() && stale(inspect(path)) && ::unlink(QFile::encodeName(path).constData()) == 0;
}
