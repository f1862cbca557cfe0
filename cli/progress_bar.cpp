#include "cli/progress_bar.h"

#include <cstdio>
#include <cstdlib>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

QString elideMiddle(const QString &text, int width)
{
    if (text.size() <= width)
        return text;
    if (width < 1)
        return {};
    const int head = (width - 1) / 2;
    return text.left(head) + QChar(0x2026) + text.right(width - 1 - head);
}

}  // namespace

QString progressLine(const QString &title, int percent, int columns)
{
    constexpr int kFullBar = 30, kShortestBar = 10, kShortestTitle = 12;
    const QString number = QStringLiteral(" %1 %").arg(percent, 3);
    const int room = columns - 1 - int(number.size());
    // The bar shrinks first, down to its shortest; the title then, down to its
    // shortest; below that the bar goes.
    int bar = qBound(kShortestBar, room - int(title.size()) - 3, kFullBar);
    if (room - bar - 3 < kShortestTitle)
        bar = 0;
    const int titleRoom = bar > 0 ? room - bar - 3 : room;
    QString line = elideMiddle(title, titleRoom);
    if (bar > 0) {
        const int filled = qBound(0, percent, 100) * bar / 100;
        line += QStringLiteral(" [") + QString(filled, QLatin1Char('#')) + QString(bar - filled, QLatin1Char('-'))
                + QLatin1Char(']');
    }
    return line + number;
}

int terminalColumns()
{
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    const int columns = std::atoi(qgetenv("COLUMNS").constData());
    return columns > 0 ? columns : 80;
}

// Drawn at 0 % at once: the first command's wait already counts.
ProgressBar::ProgressBar(const QString &title, bool shown) : title_(title), shown_(shown) { setValue(0); }

ProgressBar::~ProgressBar()
{
    if (drawn_)
        std::fputs("\n", stderr);
}

void ProgressBar::setValue(int percent)
{
    if (!shown_)
        return;
    // Back to the line's start, then clear what a longer line before left
    // (the terminal may have been narrowed meanwhile).
    std::fprintf(stderr, "\r%s\x1b[K", progressLine(title_, percent, terminalColumns()).toLocal8Bit().constData());
    std::fflush(stderr);
    drawn_ = true;
}

bool ProgressBar::stderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }
