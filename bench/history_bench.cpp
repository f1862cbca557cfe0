// What the history costs: one unit's record added to a store that already
// holds 100,000 records, all of it and what a telvarin-cli transfer waits
// for, and a filtered list over those records.
// Usage: telvarin-history-bench [ROUNDS] [FOLDER]
#include "history/history_recorder.h"
#include "history/history_store.h"
#include "history/history_writer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimeZone>

#include <algorithm>
#include <cstdio>

namespace {

HistoryRecord unit(int n)
{
    HistoryRecord r;
    r.time = QDateTime(QDate(2024, 1, 1), QTime(0, 0), QTimeZone::utc()).addSecs(qint64(n) * 60);
    r.host = QStringLiteral("bench");
    r.user = QStringLiteral("ann");
    r.program = QStringLiteral("telvarin-cli");
    r.command = n % 3 == 0 ? QStringLiteral("write") : QStringLiteral("verify");
    r.port = QStringLiteral("COM %1").arg(n % 40 + 1);
    r.portLabel = r.port + QStringLiteral(" (/dev/ttyUSB%1)").arg(n % 40);
    r.device = QStringLiteral("/dev/ttyUSB%1").arg(n % 40);
    r.slaveId = n % 32 + 1;
    r.table = QByteArray("0\r\n\"\"\r\n\"\"\r\n").repeated(16);
    r.tableSha256 = QStringLiteral("0").repeated(64);
    r.file = QStringLiteral("/srv/bench/site-%1.txt").arg(n % 100);
    r.result = n % 50 == 0 ? QStringLiteral("differs") : QStringLiteral("ok");
    return r;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    QTemporaryDir scratch(argc > 2 ? QString::fromLocal8Bit(argv[2]) + QStringLiteral("/history-bench-XXXXXX") : QString());
    HistoryTarget target;
    target.kind = HistoryTarget::SQLite;
    target.path = scratch.filePath(QStringLiteral("history.sqlite"));

    QList<HistoryRecord> all;
    for (int n = 0; n < 100000; ++n)
        all.append(unit(n));
    {
        HistoryStore store(target);
        QString error;
        if (!store.open(HistoryStore::Record, &error) || !store.append(all, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
    }

    // All of it, one step after the other, as the window's own thread does it.
    QList<double> recordMs, openMs, appendMs;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        HistoryRecord record = unit(100000 + round);
        stampRecord(record);
        QString error;
        {
            HistoryStore store(target);
            QList<HistoryRecord> records{record};
            const bool opened = store.open(HistoryStore::Record, &error);
            openMs.append(double(clock.nsecsElapsed()) / 1e6);
            if (!opened || !store.append(records, &error)) {
                std::fprintf(stderr, "%s\n", qPrintable(error));
                return 1;
            }
            appendMs.append(double(clock.nsecsElapsed()) / 1e6 - openMs.last());
        }
        recordMs.append(double(clock.nsecsElapsed()) / 1e6);
    }
    std::printf("record one unit (stamp, open, check, checkpoint, insert, close), median of %d: %.2f ms, worst %.2f ms\n",
                rounds, median(recordMs), *std::max_element(recordMs.begin(), recordMs.end()));
    std::printf("  of which the insert: median %.2f ms, worst %.2f ms\n", median(appendMs),
                *std::max_element(appendMs.begin(), appendMs.end()));

    // What telvarin-cli's transfer waits for: the history opens beside the
    // transfer (which outlasts the opening: a Read takes seconds), then the
    // units' records are added, the connection closed and the thread ended.
    QList<double> waitMs;
    for (int round = 0; round < rounds; ++round) {
        HistoryRecord record = unit(200000 + round);
        stampRecord(record);
        QElapsedTimer clock;
        {
            HistoryWriter writer(target);
            writer.waitUntilReady();
            clock.start();
            if (const QString warning = writer.record({record}); !warning.isEmpty()) {
                std::fprintf(stderr, "%s\n", qPrintable(warning));
                return 1;
            }
        }
        waitMs.append(double(clock.nsecsElapsed()) / 1e6);
    }
    std::printf("after a transfer, record one unit (opened beside it), median of %d: %.2f ms, worst %.2f ms\n", rounds,
                median(waitMs), *std::max_element(waitMs.begin(), waitMs.end()));

    const struct { const char *name; HistoryFilter filter; } queries[] = {
        {"newest 50", {}},
        {"--port COM 7", {QStringLiteral("COM 7"), std::nullopt, {}, {}, 50}},
        {"--port /dev/ttyUSB6 --result differs", {QStringLiteral("/dev/ttyUSB6"), std::nullopt, {}, QStringLiteral("differs"), 50}},
        {"--slave-id 12 --since 2024-02-01", {{}, 12, QDateTime(QDate(2024, 2, 1), QTime(0, 0), QTimeZone::utc()), {}, 50}},
        {"--result differs --limit 1000", {{}, std::nullopt, {}, QStringLiteral("differs"), 1000}},
    };
    for (const auto &query : queries) {
        QList<double> ms;
        for (int round = 0; round < rounds; ++round) {
            QElapsedTimer clock;
            clock.start();
            HistoryStore store(target);
            QString error;
            if (!store.open(HistoryStore::Look, &error) || !store.list(query.filter, &error)) {
                std::fprintf(stderr, "%s\n", qPrintable(error));
                return 1;
            }
            ms.append(double(clock.nsecsElapsed()) / 1e6);
        }
        std::printf("list over 100,000 records, %-38s median %.2f ms, worst %.2f ms\n", query.name, median(ms),
                    *std::max_element(ms.begin(), ms.end()));
    }
    return 0;
}
