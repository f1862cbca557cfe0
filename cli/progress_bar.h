#pragma once

#include <QString>

// A bar with the percentage on standard error, redrawn in place. It draws
// only when told to (standard error is a terminal and --quiet is off), so a
// script's log never fills with carriage returns.
class ProgressBar {
public:
    ProgressBar(const QString &title, bool shown);
    ~ProgressBar();  // ends the bar's line
    ProgressBar(const ProgressBar &) = delete;
    ProgressBar &operator=(const ProgressBar &) = delete;

    void setValue(int percent);

    // True when standard error is a terminal.
    static bool stderrIsTerminal();

private:
    QString title_;
    bool shown_;
    bool drawn_ = false;
};

// The bar's line for a terminal `columns` wide: "title [###---]  40 %",
// at most columns - 1 characters so the cursor never wraps to a new line.
// A narrow terminal gets a shorter bar, then a title shortened in the middle
// with an ellipsis (a long device path keeps its start and its end), and at
// last no bar at all.
QString progressLine(const QString &title, int percent, int columns);

// The width of the terminal on standard error; COLUMNS, or 80, when it cannot tell.
int terminalColumns();
