#include "cli/termination.h"

#include <pthread.h>
#include <signal.h>

#include <cstdlib>
#include <mutex>
#include <optional>
#include <thread>

namespace vexal::cli {
namespace {

using Clock = std::chrono::steady_clock;

sigset_t terminationSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

struct WatchState {
    std::mutex lock;
    app::Session* session = nullptr;
    std::function<bool(int)> handler;
};

WatchState& state() {
    static WatchState s;
    return s;
}

// Ends the process as the signal would have, so the caller sees how it ended.
[[noreturn]] void dieOf(int signal) {
    ::signal(signal, SIG_DFL);
    const sigset_t set = terminationSet();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    ::raise(signal);
    std::_Exit(128 + signal);
}

[[noreturn]] void endNow(int signal) {
    {
        // Under the lock: the session cannot be unregistered and destroyed meanwhile.
        const std::lock_guard guard(state().lock);
        if (state().session) state().session->End();
    }
    dieOf(signal);
}

// The next signal; none (0) when `deadline` passes first.
int nextSignal(const std::optional<Clock::time_point>& deadline) {
    const sigset_t set = terminationSet();
    for (;;) {
        if (!deadline) {
            int signal = 0;
            if (sigwait(&set, &signal) == 0) return signal;
            continue;
        }
        const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(*deadline - Clock::now());
        if (left.count() <= 0) return 0;
        timespec wait{static_cast<time_t>(left.count() / 1000000000), static_cast<long>(left.count() % 1000000000)};
        const int signal = sigtimedwait(&set, nullptr, &wait);
        if (signal > 0) return signal;
    }
}

void watch() {
    bool taken = false;  // a handler has taken a signal: the next one ends the program
    std::optional<Clock::time_point> deadline;
    for (;;) {
        const int signal = nextSignal(deadline);
        if (signal == 0) endNow(SIGTERM);  // the program did not end within its grace
        if (!taken) {
            std::unique_lock guard(state().lock);
            if (state().handler && state().handler(signal)) {
                taken = true;
                if (signal == SIGTERM) deadline = Clock::now() + kTerminateGrace;
                continue;
            }
        }
        endNow(signal);
    }
}

}  // namespace

void blockTerminationSignals() {
    const sigset_t set = terminationSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

TerminationWatch::TerminationWatch() {
    blockTerminationSignals();
    // The watcher lives as long as the process: it never holds anything to release.
    std::thread(watch).detach();
}

TerminationWatch::~TerminationWatch() = default;

TerminationWatch& TerminationWatch::instance() {
    static TerminationWatch watchInstance;
    return watchInstance;
}

void TerminationWatch::setSession(app::Session* session) {
    const std::lock_guard guard(state().lock);
    state().session = session;
}

void TerminationWatch::setHandler(std::function<bool(int)> handler) {
    const std::lock_guard guard(state().lock);
    state().handler = std::move(handler);
}

}  // namespace vexal::cli
