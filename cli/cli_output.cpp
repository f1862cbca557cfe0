#include "cli/cli_output.h"

#include <cerrno>
#include <cstring>

namespace {

// The first failure's errno; only the main thread writes to standard output.
int g_outputError = 0;

int failed() { return errno != 0 ? errno : EIO; }

}  // namespace

bool writeStandardOutput(const QByteArray &bytes)
{
    if (g_outputError != 0)
        return false;
    errno = 0;
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) != size_t(bytes.size()) || std::fflush(stdout) != 0)
        g_outputError = failed();
    return g_outputError == 0;
}

QString standardOutputFailure()
{
    errno = 0;
    if (g_outputError == 0 && (std::fflush(stdout) != 0 || std::ferror(stdout)))
        g_outputError = failed();
    if (g_outputError == 0)
        return {};
    return QStringLiteral("standard output: %1; what was printed there is not whole.")
        .arg(QString::fromLocal8Bit(std::strerror(g_outputError)));
}
