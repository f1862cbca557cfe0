#include "configfile/regular_file.h"

#include "configfile/config_text.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef Q_OS_UNIX
QString notRegularText(mode_t mode)
{
    const char *kind = S_ISFIFO(mode)  ? QT_TRANSLATE_NOOP("ConfigFile", "a FIFO (named pipe)")
                       : S_ISCHR(mode) ? QT_TRANSLATE_NOOP("ConfigFile", "a character device")
                       : S_ISBLK(mode) ? QT_TRANSLATE_NOOP("ConfigFile", "a block device")
                       : S_ISSOCK(mode) ? QT_TRANSLATE_NOOP("ConfigFile", "a socket")
                       : S_ISDIR(mode) ? QT_TRANSLATE_NOOP("ConfigFile", "a folder")
                                       : QT_TRANSLATE_NOOP("ConfigFile", "not a file");
    return ConfigFile::tr("It is %1, not an ordinary file. Choose an ordinary file.").arg(ConfigFile::tr(kind));
}
#endif

namespace {

#ifdef Q_OS_UNIX
QString systemReason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }
#endif

}  // namespace

bool openRegularFileForReading(QFile &file, const QString &path, QString *error)
{
#ifdef Q_OS_UNIX
    // A socket cannot even be opened: judge the path first. O_NONBLOCK then
    // lets open() return at once on a FIFO, and the type is checked again on
    // the very file that was opened, so nothing can be swapped in between.
    if (const QString problem = saveTargetProblem(path); !problem.isEmpty()) {
        *error = problem;
        return false;
    }
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = systemReason(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        *error = S_ISREG(info.st_mode) || info.st_mode == 0 ? systemReason(errno) : notRegularText(info.st_mode);
        ::close(fd);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        *error = file.errorString();
        ::close(fd);
        return false;
    }
    return true;
#else
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    return true;
#endif
}

QString saveTargetProblem(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};  // a new file; creating it reports its own problems
    return S_ISREG(info.st_mode) ? QString() : notRegularText(info.st_mode);
#else
    Q_UNUSED(path);
    return {};
#endif
}
