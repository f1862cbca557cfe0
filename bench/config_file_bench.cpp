// Times loading crafted configuration files of 200 KB and more, the kind
// that make a reader try many closing quotes, and Save's check of a table
// whose texts are full of quotes before line ends.
//   cmake --build build --target telvarin-config-bench && build/bench/telvarin-config-bench [ROUNDS]
#include "configfile/config_format.h"
#include "configfile/config_reader.h"
#include "configfile/savable_check.h"

#include <QBuffer>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

// A message of the longest kind, full of quotes that look like the end of
// the text: each is followed by a line end, a flag line and an opening quote.
QByteArray trickyText(int patterns) { return QByteArray("a\"\r\n1\r\n\"").repeated(patterns).leftJustified(4094, 'z'); }

// The slowest and the median of `rounds` runs, in milliseconds.
void measure(const char *name, qsizetype bytes, int rounds, const std::function<bool()> &run)
{
    std::vector<double> times;
    bool result = false;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        result = run();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    std::printf("%-48s %7lld bytes  median %7.2f ms  best %7.2f ms  worst %7.2f ms  (%s)\n", name,
                static_cast<long long>(bytes), times[times.size() / 2], times.front(), times.back(),
                result ? "read in the saved form" : "read by the rules");
}

bool loads(QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const ConfigReadResult result = readConfig(buffer);
    return result.complete && result.cutChannels.isEmpty();
}

} // namespace

int main(int argc, char **argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;

    // 16 records at the longest, every text full of false ends, then more
    // such lines after the 48th up to 256 KB.
    ChannelTable table;
    for (ChannelRow &row : table)
        row = {true, QString::fromLatin1(trickyText(400)), QString::fromLatin1(trickyText(30))};
    const QByteArray saved = formatConfig(table);
    const QByteArray followed = saved + QByteArray("\"\r\n1\r\n\"").repeated((256 * 1024 - saved.size()) / 7);
    // Only false ends: a quote before every line end, a flag after each.
    const QByteArray falseEnds = "1\r\n\"" + QByteArray("\"\r\n1\r\n\"").repeated(256 * 1024 / 7);
    // A quote before every line end and nothing else.
    const QByteArray quoteLines = "1\r\n\"" + QByteArray("\"\r\n").repeated(256 * 1024 / 3);
    // Quotes only, in LF form.
    const QByteArray quotes = "1\n\"" + QByteArray(256 * 1024, '"');

    measure("load: saved longest texts + false ends", followed.size(), rounds, [&] { return loads(followed); });
    measure("load: false ends throughout", falseEnds.size(), rounds, [&] { return loads(falseEnds); });
    measure("load: quote before every line end", quoteLines.size(), rounds, [&] { return loads(quoteLines); });
    measure("load: quotes only", quotes.size(), rounds, [&] { return loads(quotes); });
    measure("save check: longest texts full of false ends", saved.size(), rounds,
            [&] { return !findUnsavableChannel(table); });
    return 0;
}
