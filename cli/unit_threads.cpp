#include "cli/unit_threads.h"

#include "cli/progress_bar.h"
#include "cli/stop_signals.h"
#include "cli/unit_commands.h"

#include <QEventLoop>
#include <QThread>

#include <functional>
#include <memory>
#include <vector>

QString progressTitle(Invocation::Command command, const QString &port)
{
    return (command == Invocation::Write ? QStringLiteral("Writing ") : QStringLiteral("Reading ")) + port;
}

namespace {

// The result of a unit that never ran: nothing was sent to it.
UnitResult notRun(const UnitJob &job, UnitResult::Result result, int exitCode, const QString &why)
{
    UnitResult out;
    out.port = out.label = job.unit.port.name;
    out.slaveId = job.unit.slaveId;
    out.file = job.unit.file;
    out.result = result;
    out.exitCode = exitCode;
    out.errors.append(QStringLiteral("%1: %2; nothing was sent to it.").arg(job.unit.port.name, why));
    return out;
}

// True when start() could not create the thread: Qt then leaves it neither
// running nor finished (a thread that ran and ended already is finished).
bool failedToStart(const QThread &thread) { return !thread.isRunning() && !thread.isFinished(); }

}  // namespace

// A transaction waits out its reply window in an event loop of its own
// (SerialLink::transact), so units sharing one thread would each wait inside
// another's loop and stretch its window. Each unit therefore runs on a thread
// of its own, with its own link and event loop; everything it tells comes
// back here as a queued call, so the progress lines and the results are only
// ever touched by this thread. A unit that ends makes room for the next.
QList<UnitResult> runSideBySide(const QList<UnitJob> &jobs, int atOnce, ProgressLines &progress)
{
    QList<UnitResult> results(jobs.size());
    QEventLoop loop;
    QObject here;
    std::vector<std::unique_ptr<QThread>> threads(size_t(jobs.size()));
    qsizetype next = 0;
    int running = 0;
    std::function<void()> startMore;

    auto startUnit = [&](int index) {
        const UnitJob &job = jobs[index];
        UnitProgress tell{
            [&here, &progress, index, command = job.command](const QString &label) {
                QMetaObject::invokeMethod(&here, [&progress, index, title = progressTitle(command, label)] {
                    progress.setTitle(index, title);
                }, Qt::QueuedConnection);
            },
            [&here, &progress, index](int percent) {
                QMetaObject::invokeMethod(&here, [&progress, index, percent] { progress.setValue(index, percent); },
                                          Qt::QueuedConnection);
            }};
        std::unique_ptr<QThread> thread(QThread::create([&here, &results, &running, &threads, &startMore, index, job, tell] {
            UnitResult result = runUnit(job, tell);
            QMetaObject::invokeMethod(&here, [&results, &running, &threads, &startMore, index, result] {
                results[index] = result;
                threads[size_t(index)]->wait();
                threads[size_t(index)].reset();
                --running;
                startMore();
            }, Qt::QueuedConnection);
        }));
        thread->start();
        if (failedToStart(*thread)) {
            results[index] = notRun(job, UnitResult::Failed, kExitUsage,
                                    QStringLiteral("its thread could not be started (the system allows no more "
                                                   "threads or processes, or has no memory left for one)"));
            return;
        }
        threads[size_t(index)] = std::move(thread);
        ++running;
    };
    startMore = [&] {
        while (running < atOnce && next < jobs.size()) {
            const int index = int(next++);
            if (const int signal = stopSignal())
                results[index] = notRun(jobs[index], UnitResult::Interrupted, exitForSignal(signal),
                                        QStringLiteral("interrupted before it started"));
            else
                startUnit(index);
        }
        if (running == 0)
            loop.quit();
    };

    startMore();
    if (running > 0)
        loop.exec();
    return results;
}
