#include "link/port_access.h"

#include "model/user_name.h"

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

constexpr unsigned kOwnerReadWrite = 0600, kGroupReadWrite = 0060, kOtherReadWrite = 0006;

bool has(unsigned mode, unsigned bits) { return (mode & bits) == bits; }

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

QString groupName(gid_t gid)
{
    struct group entry {};
    struct group *found = nullptr;
    char buffer[16384];  // a group entry lists its members
    if (::getgrgid_r(gid, &entry, buffer, sizeof buffer, &found) == 0 && found)
        return QString::fromLocal8Bit(found->gr_name);
    return QString::number(gid);
}
#endif

}  // namespace

// Root is not treated apart: it owns the usual devices anyway.
QString accessAdvice(const DeviceAccess &access)
{
    const unsigned mode = access.mode;
    if (has(mode, kOtherReadWrite) || (access.isOwner && has(mode, kOwnerReadWrite))
        || (access.inGroup && has(mode, kGroupReadWrite)))
        return {};
    if (has(mode, kGroupReadWrite) && !access.rootGroup) {
        return QObject::tr("To get access to %1, join its group \"%2\" (sudo usermod -aG %2 $USER), then log out "
                           "and log in again.")
            .arg(access.device, access.group);
    }
    if (access.isOwner)
        return QObject::tr("You own %1 but may not read and write it (chmod u+rw %1 gives you access).").arg(access.device);
    const QString who = has(mode, kOwnerReadWrite) ? QObject::tr("its owner \"%1\"").arg(access.owner)
                                                   : QObject::tr("root");
    return QObject::tr("Only %1 may read and write %2: ask the administrator to let a group you belong to (such as "
                       "\"dialout\") read and write it.")
        .arg(who, access.device);
}

QString withPermissionHint(const QString &message, const QString &device, QSerialPort::SerialPortError error)
{
#ifdef Q_OS_WIN
    Q_UNUSED(device);
    Q_UNUSED(error);
    return message;
#else
    struct stat st;
    if (error != QSerialPort::PermissionError || stat(QFile::encodeName(device).constData(), &st) != 0)
        return message;
    const DeviceAccess access{QFileInfo(device).canonicalFilePath(), unsigned(st.st_mode & 0777), userName(st.st_uid),
                              groupName(st.st_gid), st.st_uid == geteuid(), processInGroup(st.st_gid), st.st_gid == 0};
    const QString advice = accessAdvice(access);
    if (advice.isEmpty())
        return message;
    return message + (message.endsWith(QLatin1Char('.')) ? QStringLiteral(" ") : QStringLiteral(". ")) + advice;
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
