// How long the main window takes to appear, against an empty window of the
// same size: each round starts this program twice as a child, once per
// kind, and times it from the start of the process until its window is
// first exposed (mapped and ready to paint), which the child reports on
// standard output. Usage:
//   telvarin-startup-bench [ROUNDS]        (run under a display, e.g. xvfb-run)
#include "app/application_icon.h"
#include "app/main_window.h"
#include "ui/font_preload.h"
#include "ui/fonts.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <tuple>
#include <vector>

namespace {

QElapsedTimer sinceMain;

// Ends the child the moment its window is exposed, saying how long its own
// part took (from main(), without loading the program and its libraries)
// and the processor time all its threads used since the process started:
// unlike the times on the clock, that hardly depends on what else the
// machine is doing.
class ExposeWatch : public QObject {
protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow *>(watched)->isExposed()) {
            timespec cpu{};
            clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
            std::printf("exposed %.3f %.3f\n", sinceMain.nsecsElapsed() / 1e6, cpu.tv_sec * 1e3 + cpu.tv_nsec / 1e6);
            std::fflush(stdout);
            std::exit(0);
        }
        return false;
    }
};

int showWindow(int argc, char **argv, bool telvarin)
{
    // The same steps as the program's own start.
    std::optional<FontPreload> fonts;
    if (telvarin)
        fonts.emplace();
    QApplication app(argc, argv);
    std::unique_ptr<QWidget> window;
    if (telvarin) {
        fonts->wait();
        QApplication::setWindowIcon(applicationIcon(kFirstIconSize));
        installFontSubstitutes();
        window = std::make_unique<frmMain>();
    } else {
        window = std::make_unique<QWidget>();
        window->setFixedSize(1017, 437);
    }
    window->winId();  // creates the native window, to watch it
    ExposeWatch watch;
    window->windowHandle()->installEventFilter(&watch);
    window->show();
    return app.exec();
}

struct Timing {
    double total = -1;   // from starting the process
    double inMain = -1;  // from entering main()
    double processor = -1;
};

// Milliseconds from starting the child until it reports its window exposed.
Timing timeChild(const QString &program, const QString &kind)
{
    QProcess child;
    QElapsedTimer clock;
    clock.start();
    child.start(program, {kind});
    if (!child.waitForReadyRead(30000))
        return {};
    const double total = clock.nsecsElapsed() / 1e6;
    child.waitForFinished(10000);
    const QByteArray said = child.readAllStandardOutput();
    const QList<QByteArray> fields = said.trimmed().split(' ');
    if (fields.size() != 3 || fields[0] != "exposed")
        return {};
    return {total, fields[1].toDouble(), fields[2].toDouble()};
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char **argv)
{
    sinceMain.start();
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode == QLatin1String("--empty") || mode == QLatin1String("--telvarin"))
        return showWindow(argc, argv, mode == QLatin1String("--telvarin"));

    QCoreApplication app(argc, argv);
    const int rounds = std::max(1, mode.toInt() > 0 ? mode.toInt() : 15);
    const QString self = QCoreApplication::applicationFilePath();
    std::vector<double> empty, telvarin, emptyInMain, telvarinInMain, emptyProcessor, telvarinProcessor, ratios;
    timeChild(self, "--telvarin");  // warms the file cache; not counted
    for (int round = 0; round < rounds; ++round) {
        // Side by side: the order alternates so neither kind always runs on a warmer machine.
        const bool emptyFirst = round % 2 == 0;
        for (const bool first : {true, false}) {
            const bool isEmpty = first == emptyFirst;
            const Timing timing = timeChild(self, isEmpty ? "--empty" : "--telvarin");
            if (timing.total < 0) {
                std::fputs("telvarin-startup-bench: a window did not appear (is there a display?)\n", stderr);
                return 1;
            }
            (isEmpty ? empty : telvarin).push_back(timing.total);
            (isEmpty ? emptyInMain : telvarinInMain).push_back(timing.inMain);
            (isEmpty ? emptyProcessor : telvarinProcessor).push_back(timing.processor);
        }
        ratios.push_back(telvarin.back() / empty.back());
    }
    for (const auto &[what, e, t] : {std::tuple("process start", median(empty), median(telvarin)),
                                     std::tuple("main()", median(emptyInMain), median(telvarinInMain)),
                                     std::tuple("processor", median(emptyProcessor), median(telvarinProcessor))})
        std::printf("%-13s until exposed, median of %d: empty window %6.1f ms, main window %6.1f ms, ratio %.2f\n",
                    what, rounds, e, t, t / e);
    // Each round's own ratio (from process start) drifts less with the machine's load.
    std::printf("median of the rounds' own ratios from process start: %.2f\n", median(ratios));
    return 0;
}
