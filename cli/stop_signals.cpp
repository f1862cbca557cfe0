#include "cli/stop_signals.h"

#include <atomic>
#include <csignal>

namespace {

// Set by the handler, read by every unit's thread: a lock-free atomic is
// safe in both places.
std::atomic<int> g_stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void onStopSignal(int signal) { g_stopSignal = signal; }

}  // namespace

void installStopHandlers()
{
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
}

int stopSignal() { return g_stopSignal.load(); }
