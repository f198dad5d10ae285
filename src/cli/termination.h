#pragma once
// SIGINT and SIGTERM on the terminal: a watcher thread takes them (they are blocked in
// every other thread), so that the session's exit sequence runs before the program goes.
//
// What a signal does:
// - the first one goes to the handler of the work in progress (a command aborts what it
//   is doing, a run stops its script); when the handler takes it, the program goes on to
//   its normal end. A SIGTERM it takes must still end the program within kTerminateGrace.
// - a signal that no handler takes, a second signal, or a SIGTERM whose grace has passed
//   ends the registered session (its exit sequence) and then the process, as the signal
//   itself would.
#include <chrono>
#include <functional>

#include "app/session.h"

namespace vexal::cli {

// How long a program that took SIGTERM may take to end by itself.
inline constexpr std::chrono::seconds kTerminateGrace{15};

// Blocks SIGINT and SIGTERM; call before any other thread starts.
void blockTerminationSignals();

class TerminationWatch {
public:
    // Starts the watcher.
    TerminationWatch();
    ~TerminationWatch();
    TerminationWatch(const TerminationWatch&) = delete;
    TerminationWatch& operator=(const TerminationWatch&) = delete;

    static TerminationWatch& instance();
    // The session a signal ends; nullptr: none.
    void setSession(app::Session* session);
    // The handler of the first signal, called on the watcher thread under the watcher's
    // lock (so it must only start the stopping, never wait for it): true when it takes the
    // signal. Setting a handler waits for a call in progress to return.
    void setHandler(std::function<bool(int signal)> handler);
};

// Registers a session or handler for the lifetime of the guard.
class SessionOnSignal {
public:
    explicit SessionOnSignal(app::Session& session) { TerminationWatch::instance().setSession(&session); }
    ~SessionOnSignal() { TerminationWatch::instance().setSession(nullptr); }
    SessionOnSignal(const SessionOnSignal&) = delete;
    SessionOnSignal& operator=(const SessionOnSignal&) = delete;
};

class HandlerOnSignal {
public:
    explicit HandlerOnSignal(std::function<bool(int)> handler) {
        TerminationWatch::instance().setHandler(std::move(handler));
    }
    ~HandlerOnSignal() { TerminationWatch::instance().setHandler({}); }
    HandlerOnSignal(const HandlerOnSignal&) = delete;
    HandlerOnSignal& operator=(const HandlerOnSignal&) = delete;
};

}  // namespace vexal::cli
