#include "link/port_access.h"

#include <QFile>
#include <QFileInfo>

#ifndef Q_OS_WIN
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/sysmacros.h>
#endif

namespace {

#ifndef Q_OS_WIN
bool processInGroup(gid_t group)
{
    if (getegid() == group)
        return true;
    gid_t groups[256];
    const int count = getgroups(256, groups);
    for (int i = 0; i < count; ++i) {
        if (groups[i] == group)
            return true;
    }
    return false;
}

// Whether the owner, group or other read-write bits let this process in.
// Root is not treated apart: it owns the usual devices anyway.
bool permissionsAdmit(const struct stat &st)
{
    constexpr mode_t kOwner = S_IRUSR | S_IWUSR, kGroup = S_IRGRP | S_IWGRP, kOther = S_IROTH | S_IWOTH;
    if ((st.st_mode & kOther) == kOther)
        return true;
    if (st.st_uid == geteuid())
        return (st.st_mode & kOwner) == kOwner;
    return processInGroup(st.st_gid) && (st.st_mode & kGroup) == kGroup;
}

QString groupName(gid_t gid)
{
    if (const struct group *entry = getgrgid(gid))
        return QString::fromLocal8Bit(entry->gr_name);
    return QString::number(gid);
}
#endif

}  // namespace

QString permissionHint(const QString &device, QSerialPort::SerialPortError error)
{
#ifdef Q_OS_WIN
    Q_UNUSED(device);
    Q_UNUSED(error);
    return {};
#else
    struct stat st;
    if (error != QSerialPort::PermissionError || stat(QFile::encodeName(device).constData(), &st) != 0
        || permissionsAdmit(st))
        return {};
    const QString group = groupName(st.st_gid);
    const QString target = QFileInfo(device).canonicalFilePath();
    return QObject::tr("To get access to %1, join its group \"%2\" (sudo usermod -aG %2 $USER), then log out "
                       "and log in again.")
        .arg(target, group);
#endif
}

bool isTerminalWithoutLine(const QString &device)
{
#ifdef Q_OS_LINUX
    // Linux gives the controlling terminal 5:0 and the multiplexer 5:2.
    struct stat st {};
    return ::stat(QFile::encodeName(device).constData(), &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) == 5
           && (minor(st.st_rdev) == 0 || minor(st.st_rdev) == 2);
#else
    Q_UNUSED(device);
    return false;
#endif
}
