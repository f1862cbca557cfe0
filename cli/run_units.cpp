#include "cli/cli_output.h"
#include "cli/commands.h"
#include "cli/json_report.h"
#include "cli/open_files.h"
#include "cli/progress_bar.h"
#include "cli/stop_signals.h"
#include "cli/terminal_text.h"
#include "cli/unit_history.h"
#include "cli/unit_job.h"
#include "cli/unit_report.h"
#include "cli/unit_threads.h"

#include <algorithm>
#include <unistd.h>

namespace {

// What each unit has for standard output: the table of a read to "-", the
// differences of a verify (each line after the unit's label when there are several).
void printData(QList<UnitResult> &results)
{
    const bool terminal = ::isatty(STDOUT_FILENO) == 1;
    for (UnitResult &result : results) {
        bool escaped = false;
        if (result.standardOutput
            && !writeStandardOutput(terminal ? terminalSafe(*result.standardOutput, &escaped) : *result.standardOutput)) {
            result.errors.append(QStringLiteral("standard output: the table could not be written."));
            result.exitCode = kExitUsage;
            result.result = UnitResult::Failed;
        }
        if (escaped)
            printLine(stderr, QStringLiteral("standard output is a terminal: control characters in the table are "
                                             "shown as \\xNN. Send it to a file for the exact bytes."));
        for (const Difference &difference : result.differences)
            writeStandardOutputLine((results.size() > 1 ? result.label + QStringLiteral(": ") : QString()) + differenceLine(difference));
    }
}

// Errors always; the notes and the summary are text for people, kept off
// standard error by --quiet and by --json.
void printMessages(const QList<UnitResult> &results, bool notes)
{
    for (const UnitResult &result : results) {
        for (const QString &error : result.errors)
            printError(error);
        if (notes && !result.note.isEmpty())
            printLine(stderr, result.note);
    }
    if (notes && results.size() > 1)
        std::fputs(qPrintable(QLatin1Char('\n') + summaryTable(results)), stderr);
}

// A run refused before anything was sent: the reasons on standard error and,
// for --json, in a report, so that a script always gets a document.
int refused(const Invocation &run, const QString &command, const QStringList &problems)
{
    for (const QString &problem : problems)
        printError(problem);
    if (run.json)
        writeStandardOutput(refusalReport(command, problems));
    return kExitUsage;
}

}  // namespace

int runUnitsCommand(const Invocation &run)
{
    // Every unit is checked before any is sent to: a bad file stops the batch whole.
    QList<UnitJob> jobs;
    QStringList problems;
    LoadedTables loaded;
    for (const UnitSpec &unit : run.units) {
        if (std::optional<UnitJob> job = prepareUnit(run.command, unit, loaded, &problems)) {
            job->fast = run.fast;
            job->verify = run.verify;
            jobs.append(*job);
        }
    }
    loaded.clear();
    const int atOnce = int(std::min<qsizetype>(run.jobs, jobs.size()));
    if (problems.isEmpty()) {
        if (const QString lacking = openFilesProblem(atOnce, raiseOpenFileLimit()); !lacking.isEmpty())
            problems.append(QStringLiteral("--jobs %1: %2").arg(run.jobs).arg(lacking));
    }
    if (!problems.isEmpty())
        return refused(run, commandName(run.command), problems);

    const bool notes = !run.quiet && !run.json;
    UnitHistory history(run);  // opens the history while the units are served
    QList<UnitResult> results;
    {
        QStringList titles;
        for (const UnitJob &job : jobs)
            titles.append(progressTitle(run.command, job.unit.port));
        ProgressLines progress(titles, notes && ProgressLines::stderrIsTerminal());
        results = runSideBySide(jobs, atOnce, progress);
    }
    if (run.json) {
        const int code = stopSignal() ? exitForSignal(stopSignal()) : runExitCode(results);
        writeStandardOutput(unitsReport(run.command, results, code));
    } else {
        printData(results);
    }
    printMessages(results, notes);
    // After the report: the history may wait a moment for a lock, never the operator's results.
    if (const QString warning = history.record(jobs, results); !warning.isEmpty())
        printError(warning);
    return stopSignal() ? exitForSignal(stopSignal()) : runExitCode(results);
}
