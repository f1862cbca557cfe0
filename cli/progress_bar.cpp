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

namespace {

// The height of the terminal on standard error; 0 when it cannot tell.
int terminalRows()
{
    winsize size{};
    return ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 ? size.ws_row : 0;
}

}  // namespace

// Drawn at 0 % at once: the first command's wait already counts. More lines
// than the terminal has rows could not be redrawn in place: the summary then
// says it all.
ProgressLines::ProgressLines(const QStringList &titles, bool shown)
    : titles_(titles), values_(titles.size(), 0),
      shown_(shown && !titles.isEmpty() && (terminalRows() == 0 || titles.size() < terminalRows()))
{
    draw();
}

ProgressLines::~ProgressLines()
{
    if (drawn_)
        std::fputs("\n", stderr);
}

void ProgressLines::setTitle(int line, const QString &title)
{
    titles_[line] = title;
    draw();
}

void ProgressLines::setValue(int line, int percent)
{
    values_[line] = percent;
    draw();
}

void ProgressLines::draw()
{
    if (!shown_)
        return;
    // Up to the first line, then each line from its start, clearing what a
    // longer line before left (the terminal may have been narrowed meanwhile).
    QByteArray out;
    if (drawn_ && titles_.size() > 1)
        out += "\x1b[" + QByteArray::number(titles_.size() - 1) + 'A';
    const int columns = terminalColumns();
    for (qsizetype line = 0; line < titles_.size(); ++line)
        out += (line > 0 ? "\n\r" : "\r") + progressLine(titles_[line], values_[line], columns).toLocal8Bit() + "\x1b[K";
    std::fputs(out.constData(), stderr);
    std::fflush(stderr);
    drawn_ = true;
}

bool ProgressLines::stderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }
