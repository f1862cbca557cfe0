#include "configfile/output_file.h"

#include "configfile/config_text.h"
#include "configfile/regular_file.h"
#include "model/user_name.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr int kLinkLimit = 40;  // as many links as the kernel follows in one path

QString systemReason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

class Descriptor {
public:
    Descriptor() = default;
    ~Descriptor() { reset(-1); }
    Descriptor(Descriptor &&other) noexcept : fd_(other.release()) {}
    Descriptor &operator=(Descriptor &&) = delete;
    void reset(int fd)
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_ = -1;
};

QString joined(const QString &folder, const QByteArray &name)
{
    return (folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/')) + QFile::decodeName(name);
}

QString parentOf(const QString &folder)
{
    const qsizetype slash = folder.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : folder.left(slash);
}

// Where a write to a path ends: the folder that holds the target and the
// target's name in it, every link on the way judged and followed.
struct Target {
    Descriptor folder;
    QByteArray name;
    mode_t mode = 0666;  // for the new file; the umask applies on top
    QString refusal;     // by the rules, or the target is no ordinary file
    int error = 0;       // the path could not be walked
};

bool onlyEmptySteps(const QList<QByteArray> &steps)
{
    return std::all_of(steps.begin(), steps.end(), [](const QByteArray &s) { return s.isEmpty() || s == "."; });
}

// The folder by its descriptor, and whether it is one every user may write
// to while each may remove only his own entries (/tmp).
bool sharedFolder(int folder, struct stat *info)
{
    return ::fstat(folder, info) == 0 && (info->st_mode & S_ISVTX) && (info->st_mode & S_IWOTH);
}

// Walks the path a step at a time by descriptors, as the kernel would, but
// judges each link it meets itself; what it judged cannot be swapped before
// the next step, since each step opens exactly what was looked at.
Target walk(const QString &path)
{
    Target t;
    const QByteArray whole = QFile::encodeName(path);
    if (whole.isEmpty() || whole.endsWith('/')) {
        t.error = whole.isEmpty() ? ENOENT : EISDIR;
        return t;
    }
    const bool absolute = whole.startsWith('/');
    QString shown = absolute ? QStringLiteral("/") : QDir::currentPath();
    t.folder.reset(::open(absolute ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    QList<QByteArray> steps = whole.split('/');
    int links = 0;
    while (t.folder.get() >= 0) {
        while (steps.constFirst().isEmpty() || steps.constFirst() == ".")
            steps.removeFirst();
        const QByteArray name = steps.takeFirst();
        const bool last = onlyEmptySteps(steps);
        if (name == "..") {
            t.folder.reset(last ? -1 : ::openat(t.folder.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
            errno = last ? EISDIR : errno;
            shown = parentOf(shown);
            continue;
        }
        struct stat info {};
        if (::fstatat(t.folder.get(), name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT && last)
                t.name = name;
            else
                t.error = errno;
            return t;
        }
        struct stat folder {};
        const bool shared = sharedFolder(t.folder.get(), &folder);
        if (S_ISLNK(info.st_mode)) {
            if (shared && info.st_uid != ::geteuid() && info.st_uid != folder.st_uid) {
                t.refusal = ConfigFile::tr("%1 is a symbolic link of user %2 in %3, a folder every user may write to: "
                                           "it is not followed. Remove the link, or choose another name.")
                                .arg(joined(shown, name), userName(info.st_uid), shown);
                return t;
            }
            char target[PATH_MAX];
            const ssize_t length = ::readlinkat(t.folder.get(), name.constData(), target, sizeof target);
            if (++links > kLinkLimit || length <= 0 || length == ssize_t(sizeof target)) {
                t.error = links > kLinkLimit ? ELOOP : length < 0 ? errno : ENAMETOOLONG;
                return t;
            }
            if (target[0] == '/') {
                t.folder.reset(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
                shown = QStringLiteral("/");
            }
            steps = QByteArray(target, length).split('/') + steps;
            if (onlyEmptySteps(steps))
                steps.append("..");  // a link to "/" or "." names a folder
            continue;
        }
        if (last) {
            if (!S_ISREG(info.st_mode))
                t.refusal = notRegularText(info.st_mode);
            else if (shared && info.st_uid != ::geteuid())
                t.refusal = ConfigFile::tr("%1 belongs to user %2, in %3, a folder every user may write to: it is not "
                                           "replaced. Remove it, or choose another name.")
                                .arg(joined(shown, name), userName(info.st_uid), shown);
            t.name = name;
            t.mode = 0666 & info.st_mode;
            return t;
        }
        if (!S_ISDIR(info.st_mode)) {
            t.error = ENOTDIR;
            return t;
        }
        t.folder.reset(::openat(t.folder.get(), name.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        shown = joined(shown, name);
    }
    t.error = errno;
    return t;
}

}  // namespace

QString outputRefusal(const QString &path) { return walk(path).refusal; }

OutputFile::~OutputFile()
{
    if (!temporary_.isEmpty())
        ::unlinkat(folder_, temporary_.constData(), 0);
    if (file_ >= 0)
        ::close(file_);
    if (folder_ >= 0)
        ::close(folder_);
}

bool OutputFile::fail(int error)
{
    error_ = systemReason(error);
    return false;
}

bool OutputFile::open(const QString &path)
{
    Target target = walk(path);
    if (!target.refusal.isEmpty()) {
        error_ = target.refusal;
        return false;
    }
    if (target.error != 0)
        return fail(target.error);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray temporary =
            target.name + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        // Made new, never opened through a name that was there: O_EXCL.
        const int file = ::openat(target.folder.get(), temporary.constData(),
                                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, target.mode);
        if (file >= 0) {
            file_ = file;
            folder_ = target.folder.release();
            name_ = target.name;
            temporary_ = temporary;
            return true;
        }
        if (errno != EEXIST)
            return fail(errno);
    }
    return fail(EEXIST);
}

bool OutputFile::write(const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(file_, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return fail(errno);
        data += written;
        left -= written;
    }
    return true;
}

bool OutputFile::commit()
{
    // The rename replaces the name itself: a link put there meanwhile is
    // replaced, not followed.
    if (::fsync(file_) != 0 || ::renameat(folder_, temporary_.constData(), folder_, name_.constData()) != 0)
        return fail(errno);
    temporary_.clear();
    return true;
}

int OutputFile::takeHandle() { return std::exchange(file_, -1); }
