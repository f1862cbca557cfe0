#include "cli/unit_threads.h"

#include "cli/progress_bar.h"

#include <QEventLoop>
#include <QThread>

#include <memory>
#include <vector>

QString progressTitle(Invocation::Command command, const QString &port)
{
    return (command == Invocation::Write ? QStringLiteral("Writing ") : QStringLiteral("Reading ")) + port;
}

// A transaction waits out its reply window in an event loop of its own
// (SerialLink::transact), so units sharing one thread would each wait inside
// another's loop and stretch its window. Each unit therefore runs on a thread
// of its own, with its own link and event loop; everything it tells comes
// back here as a queued call, so the progress lines and the results are only
// ever touched by this thread.
QList<UnitResult> runSideBySide(const QList<UnitJob> &jobs, ProgressLines &progress)
{
    QList<UnitResult> results(jobs.size());
    QEventLoop loop;
    QObject here;
    qsizetype running = jobs.size();
    std::vector<std::unique_ptr<QThread>> threads;
    for (int index = 0; index < jobs.size(); ++index) {
        const UnitJob job = jobs[index];
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
        threads.emplace_back(QThread::create([&here, &results, &running, &loop, index, job, tell] {
            UnitResult result = runUnit(job, tell);
            QMetaObject::invokeMethod(&here, [&results, &running, &loop, index, result] {
                results[index] = result;
                if (--running == 0)
                    loop.quit();
            }, Qt::QueuedConnection);
        }));
        threads.back()->start();
    }
    if (running > 0)
        loop.exec();
    for (const std::unique_ptr<QThread> &thread : threads)
        thread->wait();
    return results;
}
