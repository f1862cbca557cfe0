#pragma once

#ifndef _WIN32
#include <QString>

#include <pwd.h>
#include <sys/types.h>

// The login name of a user id, or the number when the system knows no such
// user. getpwuid_r: the window's transfers and the command line's units ask
// from more than one thread.
inline QString userName(uid_t uid)
{
    struct passwd entry {};
    struct passwd *found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found)
        return QString::fromLocal8Bit(found->pw_name);
    return QString::number(uid);
}
#endif
