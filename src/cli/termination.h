#pragma once
// SIGINT and SIGTERM on the terminal: a watcher thread takes them (they are blocked in
// every other thread), so that the session's exit sequence runs before the program goes.
// A command that can stop gracefully (a script run) takes them over while it runs.
#include <functional>

#include "app/session.h"

namespace vexal::cli {

// Blocks SIGINT and SIGTERM; call before any other thread starts.
void blockTerminationSignals();

class TerminationWatch {
public:
    // Starts the watcher. Without a handler a signal ends the registered session (its exit
    // sequence) and then the process, as the signal itself would.
    TerminationWatch();
    ~TerminationWatch();
    TerminationWatch(const TerminationWatch&) = delete;
    TerminationWatch& operator=(const TerminationWatch&) = delete;

    static TerminationWatch& instance();
    // The session a signal ends; nullptr: none.
    void setSession(app::Session* session);
    // While set, a signal calls `handler` first (on the watcher thread); when it returns
    // false the signal ends the session and the process as without a handler.
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
