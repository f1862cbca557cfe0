#include "cli/cli_output.h"
#include "cli/commands.h"
#include "cli/json_report.h"
#include "cli/progress_bar.h"
#include "cli/stop_signals.h"
#include "cli/unit_history.h"
#include "cli/unit_job.h"
#include "cli/unit_report.h"
#include "cli/unit_threads.h"
#include "configfile/config_file.h"

#include <cstdio>

namespace {

bool writeOut(const QByteArray &bytes)
{
    return std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size()) && std::fflush(stdout) == 0;
}

// What each unit has for standard output: the table of a read to "-", the
// differences of a verify (each line after the unit's label when there are several).
void printData(QList<UnitResult> &results)
{
    for (UnitResult &result : results) {
        if (result.standardOutput && !writeOut(*result.standardOutput)) {
            result.errors.append(QStringLiteral("standard output: the table could not be written."));
            result.exitCode = kExitUsage;
            result.result = UnitResult::Failed;
        }
        for (const Difference &difference : result.differences)
            printLine(stdout, (results.size() > 1 ? result.label + QStringLiteral(": ") : QString()) + differenceLine(difference));
    }
}

void printMessages(const QList<UnitResult> &results, bool quiet)
{
    for (const UnitResult &result : results) {
        for (const QString &error : result.errors)
            printError(error);
        if (!quiet && !result.note.isEmpty())
            printLine(stderr, result.note);
    }
    if (!quiet && results.size() > 1)
        std::fputs(qPrintable(QLatin1Char('\n') + summaryTable(results)), stderr);
}

}  // namespace

int runUnitsCommand(const Invocation &run)
{
    // Every unit is checked before any is sent to: a bad file stops the batch whole.
    QList<UnitJob> jobs;
    QStringList problems;
    for (const UnitSpec &unit : run.units) {
        if (std::optional<UnitJob> job = prepareUnit(run.command, unit, &problems)) {
            job->fast = run.fast;
            jobs.append(*job);
        }
    }
    for (const QString &problem : problems)
        printError(problem);
    if (!problems.isEmpty())
        return kExitUsage;

    QList<UnitResult> results;
    {
        QStringList titles;
        for (const UnitJob &job : jobs)
            titles.append(progressTitle(run.command, job.unit.port));
        ProgressLines progress(titles, !run.quiet && ProgressLines::stderrIsTerminal());
        results = runSideBySide(jobs, progress);
    }
    if (run.json) {
        const int code = stopSignal() ? exitForSignal(stopSignal()) : runExitCode(results);
        writeOut(unitsReport(run.command, results, code));
    } else {
        printData(results);
    }
    printMessages(results, run.quiet);
    // After the report: the history may wait a moment for a lock, never the operator's results.
    if (const QString warning = recordUnits(run, jobs, results); !warning.isEmpty())
        printError(warning);
    return stopSignal() ? exitForSignal(stopSignal()) : runExitCode(results);
}
