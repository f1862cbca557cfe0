#include "history/private_files.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemError(const QString &path) { return QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))); }

// Each missing folder on the way, from the top down, mode 0700.
bool createPrivateFolders(const QString &folder, QString *error)
{
    if (folder.isEmpty() || QFileInfo(folder).isDir())
        return true;
    if (!createPrivateFolders(QFileInfo(folder).path(), error))
        return false;
    if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST) {
        *error = systemError(folder);
        return false;
    }
    return true;
}

}  // namespace

bool createPrivateFile(const QString &path, QString *error)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (!createPrivateFolders(QFileInfo(absolute).path(), error))
        return false;
    // SQLite would create the file with the process's umask; made here first,
    // its journal files take the same mode from it.
    const int fd = ::open(QFile::encodeName(absolute).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    if (errno == EEXIST)
        return true;
    *error = systemError(absolute);
    return false;
}
