#include "cli/stop_signals.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t g_stopSignal = 0;

extern "C" void onStopSignal(int signal) { g_stopSignal = signal; }

}  // namespace

void installStopHandlers()
{
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
}

int stopSignal() { return g_stopSignal; }
