#pragma once

#include <QString>
#include <QStringList>

#include <QList>

// One bar with its percentage for each unit on standard error, redrawn in
// place. It draws only when told to (standard error is a terminal and
// --quiet is off), so a script's log never fills with carriage returns.
class ProgressLines {
public:
    ProgressLines(const QStringList &titles, bool shown);
    ~ProgressLines();  // ends the last line
    ProgressLines(const ProgressLines &) = delete;
    ProgressLines &operator=(const ProgressLines &) = delete;

    void setTitle(int line, const QString &title);
    void setValue(int line, int percent);

    // True when standard error is a terminal.
    static bool stderrIsTerminal();

private:
    void draw();

    QStringList titles_;
    QList<int> values_;
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
