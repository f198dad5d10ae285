#include "cli/termination.h"

#include <pthread.h>
#include <signal.h>

#include <cstdlib>
#include <mutex>
#include <thread>

namespace vexal::cli {
namespace {

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

void watch() {
    const sigset_t set = terminationSet();
    for (;;) {
        int signal = 0;
        if (sigwait(&set, &signal) != 0) continue;
        std::unique_lock guard(state().lock);
        if (std::function<bool(int)> handler = state().handler) {
            guard.unlock();
            if (handler(signal)) continue;
            guard.lock();
        }
        // Under the lock: the session cannot be unregistered and destroyed meanwhile.
        if (state().session) state().session->End();
        dieOf(signal);
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
