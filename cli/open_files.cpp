#include "cli/open_files.h"

#include <sys/resource.h>

long long raiseOpenFileLimit()
{
    rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 0;
    if (limit.rlim_cur != limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        // An unlimited hard limit is more than the kernel takes; the soft one then stays.
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    return limit.rlim_cur == RLIM_INFINITY ? (1LL << 40) : (long long)limit.rlim_cur;
}

QString openFilesProblem(int atOnce, long long limit)
{
    const long long need = kOpenFilesBesideUnits + (long long)atOnce * kOpenFilesPerUnit;
    if (need <= limit)
        return {};
    const long long fits = (limit - kOpenFilesBesideUnits) / kOpenFilesPerUnit;
    return QStringLiteral("%1 units at once need about %2 open files, and this system allows %3 (ulimit -n); %4; nothing was sent")
        .arg(atOnce).arg(need).arg(limit)
        .arg(fits >= 1 ? QStringLiteral("run with --jobs %1 or fewer").arg(fits)
                       : QStringLiteral("raise the limit"));
}
