#include "cli/progress_bar.h"

#include <cstdio>
#include <unistd.h>

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
    constexpr int kWidth = 30;
    const int filled = percent * kWidth / 100;
    const QString bar = QString(filled, QLatin1Char('#')) + QString(kWidth - filled, QLatin1Char('-'));
    std::fprintf(stderr, "\r%s [%s] %3d %%", qPrintable(title_), qPrintable(bar), percent);
    std::fflush(stderr);
    drawn_ = true;
}

bool ProgressBar::stderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }
