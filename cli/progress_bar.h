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
