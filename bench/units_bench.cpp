// A bench of many units in one telvarin-cli call: UNITS simulated modems,
// answering at once (no line pacing, so the figure is the tool's own), run
// JOBS at a time, against one unit alone. The run must end with a summary
// row for each unit, a JSON report of them all, and within
// 1.05 x (UNITS / JOBS) x one unit's time.
//   build/bench/telvarin-units-bench [UNITS [JOBS [write|verify|read]]]   (default 1000 100 write)
#include "tools/modemsim/modem_simulator.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

struct Run {
    double seconds = 0;
    int exitCode = -1;
    QByteArray out, err;
};

Run runCli(const QStringList &arguments)
{
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    process.start(QStringLiteral(TELVARIN_CLI), arguments);
    process.waitForFinished(-1);
    return {double(clock.nsecsElapsed()) / 1e9, process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

// The number of units the report says ended "ok"; -1 when it is no report.
int unitsOkInReport(const QByteArray &out)
{
    QJsonParseError error{};
    const QJsonDocument report = QJsonDocument::fromJson(out, &error);
    if (error.error != QJsonParseError::NoError)
        return -1;
    const QJsonArray units = report[QStringLiteral("units")].toArray();
    return int(std::count_if(units.begin(), units.end(), [](const QJsonValue &unit) {
        return unit[QStringLiteral("result")].toString() == QLatin1String("ok");
    }));
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int units = args.size() > 1 ? args[1].toInt() : 1000;
    const int jobs = args.size() > 2 ? args[2].toInt() : 100;
    const QString command = args.size() > 3 ? args[3] : QStringLiteral("write");
    if (units < 1 || jobs < 1) {
        std::fprintf(stderr, "usage: telvarin-units-bench [UNITS [JOBS [write|verify|read]]]\n");
        return 2;
    }
    // Each simulator holds a pseudo-terminal and its thread's wake-up.
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);

    QTemporaryDir dir;
    std::vector<std::unique_ptr<modemsim::ModemSimulator>> modems;
    QByteArray manifest = "port,slave id,file\n";
    for (int n = 0; n < units; ++n) {
        modemsim::SimulatorOptions options;
        options.paceAtLineRate = false;
        modems.push_back(std::make_unique<modemsim::ModemSimulator>(modemsim::ModemState{}, options));
        const QString link = dir.filePath(QStringLiteral("u%1").arg(n));
        QString error;
        if (!modems.back()->start(&error) || !modems.back()->createLink(link, &error)) {
            std::fprintf(stderr, "simulator %d: %s\n", n, qPrintable(error));
            return 1;
        }
        const QString file = command == QLatin1String("read") ? QStringLiteral("out-%1.txt").arg(n) : QStringLiteral("site.txt");
        const QString slaveId = command == QLatin1String("write") ? QString::number(n % 32 + 1) : QString();
        manifest += QStringLiteral("%1,%2,%3\n").arg(link, slaveId, file).toUtf8();
    }
    QFile manifestFile(dir.filePath(QStringLiteral("units.csv")));
    // What an empty modem holds, so that verify finds every unit the same.
    const QByteArray record = "0\r\n\"\"\r\n\"\"\r\n";
    QFile site(dir.filePath(QStringLiteral("site.txt")));
    if (!manifestFile.open(QIODevice::WriteOnly) || manifestFile.write(manifest) != manifest.size() || !manifestFile.flush()
        || !site.open(QIODevice::WriteOnly) || !site.write(record.repeated(16)) || !site.flush()) {
        std::fprintf(stderr, "cannot write the manifest or the site file in %s\n", qPrintable(dir.path()));
        return 1;
    }

    // One unit alone: the median of three runs.
    QList<double> single;
    QStringList one{command, QStringLiteral("--quiet"), QStringLiteral("--port"), dir.filePath(QStringLiteral("u0"))};
    one += command == QLatin1String("read") ? QStringList{QStringLiteral("--output"), dir.filePath(QStringLiteral("one.txt"))}
                                            : QStringList{site.fileName()};
    if (command == QLatin1String("write"))
        one << QStringLiteral("--slave-id") << QStringLiteral("1");
    for (int round = 0; round < 3; ++round)
        single.append(runCli(one).seconds);
    std::sort(single.begin(), single.end());
    const double unit = single[1];
    const double bound = 1.05 * double(units) / double(jobs) * unit;
    std::printf("%s: one unit %.3f s; %d units, --jobs %d: bound 1.05 x %d / %d x %.3f = %.2f s\n", qPrintable(command),
                unit, units, jobs, units, jobs, unit, bound);

    bool good = true;
    for (const bool json : {false, true}) {
        QStringList batch{command, QStringLiteral("--jobs"), QString::number(jobs), QStringLiteral("--batch"), manifestFile.fileName()};
        if (json)
            batch << QStringLiteral("--json");
        const Run run = runCli(batch);
        // Text: one summary row per unit (after its header), each "ok"; JSON: every unit "ok".
        const qsizetype summaryRows = run.err.count(" ok ");
        const int ok = json ? unitsOkInReport(run.out) : int(summaryRows);
        const bool whole = run.exitCode == 0 && ok == units && run.seconds <= bound;
        good = good && whole;
        std::printf("  %-5s %7.2f s   %.3f of (units / jobs) x one unit   exit %d, %d of %d units ok%s   %s\n",
                    json ? "json" : "text", run.seconds, run.seconds / (double(units) / jobs * unit), run.exitCode, ok, units,
                    json ? ", valid JSON" : " in the summary", whole ? "within the bound" : "FAILS");
    }
    return good ? 0 : 1;
}
