#pragma once

#include <QByteArray>
#include <QString>

// Every file the tools write goes through here: a saved configuration, the
// table of `telvarin-cli read --output`, the simulator's memory and log.
//
// On a shared bench technicians may write into /tmp as root, where any user
// can plant a name first. So, in a folder that is sticky and writable by
// every user:
//  - a symbolic link (at any step of the path) is followed only when it
//    belongs to this user or to the folder's owner;
//  - an existing file is replaced only when it belongs to this user.
// Otherwise the write is refused with a reason that names the link or the
// file and its owner. The new file is made beside its target and renamed
// over it, so nothing is ever written through an existing file; it gets the
// mode the umask gives, never more than the mode of the file it replaces.

// Empty when `path` may be written by the rules above and names no FIFO,
// device or folder; otherwise the reason. A missing folder is not judged
// here: the write itself reports it.
QString outputRefusal(const QString &path);

// A new file in place of `path`, seen there only once committed; an
// uncommitted one is removed again.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // Applies the rules and creates the new file beside its target.
    bool open(const QString &path);
    bool write(const QByteArray &bytes);
    // Puts the file in place of the target; it stays open for more writes.
    bool commit();
    // The open file, handed over: the caller closes it.
    int takeHandle();
    QString errorString() const { return error_; }

private:
    bool fail(int error);

    int folder_ = -1;
    int file_ = -1;
    QByteArray name_;
    QByteArray temporary_;
    QString error_;
};
