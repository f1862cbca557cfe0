#include "tools/modemsim/pseudo_terminal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace modemsim {

PseudoTerminal::~PseudoTerminal() { close(); }

bool PseudoTerminal::open(QString *error)
{
    close();
    auto failed = [&](const QString &step) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(step, QString::fromLocal8Bit(std::strerror(errno)));
        close();
        return false;
    };
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0)
        return failed(QStringLiteral("posix_openpt"));
    char name[128];
    if (grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0)
        return failed(QStringLiteral("pseudo-terminal set-up"));
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0)
        return failed(QString::fromLocal8Bit(name));
    termios tio{};
    if (tcgetattr(slave_, &tio) != 0)
        return failed(QStringLiteral("tcgetattr"));
    cfmakeraw(&tio);
    if (tcsetattr(slave_, TCSANOW, &tio) != 0 || fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK) != 0)
        return failed(QStringLiteral("line set-up"));
    slavePath_ = QString::fromLocal8Bit(name);
    return true;
}

void PseudoTerminal::stopSlaveOutput(bool stopped)
{
    if (slave_ >= 0)
        tcflow(slave_, stopped ? TCOOFF : TCOON);
}

void PseudoTerminal::close()
{
    if (master_ >= 0)
        ::close(master_);
    if (slave_ >= 0)
        ::close(slave_);
    master_ = slave_ = -1;
}

}  // namespace modemsim
