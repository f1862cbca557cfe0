// Times whole transfers through the main window against a modem simulator
// running as its own process, so the CPU figures are the tool's alone.
//   bench/run.sh            (builds nothing; expects build/ to exist)
#include "app/main_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>

#include <sys/resource.h>

#include <cstdio>
#include <ctime>

namespace {

double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// nominal: the time a transfer of this many 200 ms windows takes. The
// window's Write is measured against its 34 windows alone: its probe and the
// check that reads the modem back must stay within 0.6 x that.
void measure(const char *name, QPushButton *button, int transactions)
{
    QElapsedTimer wall;
    const double cpuBefore = cpuMs();
    wall.start();
    button->click();
    const double elapsed = double(wall.nsecsElapsed()) / 1e6;
    const double cpu = cpuMs() - cpuBefore;
    const double nominal = transactions * 200.0;
    std::printf("%-12s %7.1f ms wall  (nominal %5.0f ms, %+6.2f %% = %4.2f x)   CPU %6.1f ms = %4.2f %% of one core\n", name,
                elapsed, nominal, 100.0 * (elapsed - nominal) / nominal, elapsed / nominal, cpu, 100.0 * cpu / elapsed);
}

}  // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PORTS-DIRECTORY [ROUNDS]\n", argv[0]);
        return 2;
    }
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    frmMain window(QString::fromLocal8Bit(argv[1]));
    window.show();
    window.findChild<QPushButton *>("cmdConnect")->click();
    if (!window.link().isOpen()) {
        std::fprintf(stderr, "could not open COM 1 in %s\n", argv[1]);
        return 1;
    }
    for (int round = 0; round < rounds; ++round) {
        measure("Read", window.findChild<QPushButton *>("cmdDeviceRead"), 33);
        measure("Write+check", window.findChild<QPushButton *>("cmdDeviceWrite"), 34);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory: %ld KiB\n", usage.ru_maxrss);
    return 0;
}
