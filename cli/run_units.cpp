#include "cli/run_units.h"

#include "cli/cli_output.h"
#include "cli/json_report.h"
#include "cli/progress_bar.h"
#include "cli/stop_signals.h"
#include "cli/unit_history.h"
#include "cli/unit_job.h"
#include "cli/unit_threads.h"

#include <algorithm>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// Open files are what a run of many units runs out of first: a unit holds its
// port, the port's lock file and its thread's event-loop wake-up while it runs.
// Out of them, the event loop's library aborts the whole process, units half
// done; so the need is checked before the first command goes out.
constexpr int kOpenFilesPerUnit = 4;     // three measured, one to spare
constexpr int kOpenFilesBesideUnits = 32; // standard streams, the main event loop, the libraries'

// Raises this process's limit of open files as far as the system allows
// (the hard limit) and returns the limit now in force.
long long raiseOpenFileLimit()
{
    rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 0;
    if (limit.rlim_cur != limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        // An unlimited hard limit is more than the kernel takes; the soft one then stays.
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    return limit.rlim_cur == RLIM_INFINITY ? (1LL << 40) : (long long)limit.rlim_cur;
}

// Why `atOnce` units cannot run side by side within `limit` open files, with
// the --jobs that would fit; empty when they can.
QString openFilesProblem(int atOnce, long long limit)
{
    const long long need = kOpenFilesBesideUnits + (long long)atOnce * kOpenFilesPerUnit;
    if (need <= limit)
        return {};
    const long long fits = (limit - kOpenFilesBesideUnits) / kOpenFilesPerUnit;
    return QStringLiteral("%1 units at once need about %2 open files, and this system allows %3 (ulimit -n); %4; nothing was sent")
        .arg(atOnce).arg(need).arg(limit)
        .arg(fits >= 1 ? QStringLiteral("run with --jobs %1 or fewer").arg(fits)
                       : QStringLiteral("raise the limit"));
}

// A table for a terminal: a text the modem holds (or someone wrote into a
// configuration) may carry escape sequences that retitle or clear the
// terminal. Control characters other than CR, LF and TAB, DEL and bytes
// above 127 are spelt \xNN, as verify spells them; *escaped tells whether
// any was.
QByteArray terminalSafe(const QByteArray &bytes, bool *escaped)
{
    QByteArray out;
    out.reserve(bytes.size());
    *escaped = false;
    for (const char c : bytes) {
        const auto byte = quint8(c);
        if ((byte >= 0x20 && byte < 0x7F) || c == '\r' || c == '\n' || c == '\t') {
            out += c;
        } else {
            out += "\\x" + QByteArray::number(byte, 16).rightJustified(2, '0');
            *escaped = true;
        }
    }
    return out;
}

// The table after a run of several units, for people on standard error:
// one row a unit with its label, slave ID, result and time.
QString summaryTable(const QList<UnitResult> &results)
{
    qsizetype width = 4;
    for (const UnitResult &result : results)
        width = std::max(width, result.label.size());
    auto row = [width](const QString &unit, const QString &slaveId, const QString &outcome, const QString &time) {
        return unit.leftJustified(width + 2) + slaveId.leftJustified(10) + outcome.leftJustified(13) + time + QLatin1Char('\n');
    };
    QString table = row(QStringLiteral("Unit"), QStringLiteral("Slave ID"), QStringLiteral("Result"), QStringLiteral("Time"));
    for (const UnitResult &result : results) {
        table += row(result.label, result.slaveId ? QString::number(*result.slaveId) : QStringLiteral("-"),
                     resultName(result.result), QStringLiteral("%1 s").arg(double(result.durationMs) / 1000.0, 0, 'f', 1));
    }
    return table;
}

// The run's exit code: 0 when every unit succeeded, else the gravest unit's
// (1 when a unit failed or differs, 2 when a port or file could not be used).
int runExitCode(const QList<UnitResult> &results)
{
    int code = kExitOk;
    for (const UnitResult &result : results)
        code = std::max(code, result.exitCode);
    return code;
}

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
    for (const UnitTarget &unit : run.units) {
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
            titles.append(progressTitle(run.command, job.unit.port.name));
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
