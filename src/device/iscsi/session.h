#pragma once
// One logged-in (or logging-in) iSCSI session and what is in flight on it. Touched only
// by the thread driving the loop; libiscsi's callbacks only record what happened, the
// driver acts on it after iscsi_service() returns.
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "device/iscsi/iscsi_context.h"
#include "device/iscsi/iscsi_worker.h"

namespace vexal::device::iscsi {

// Why the worker ended a command itself rather than the target answering it.
enum class EndReason : uint8_t { None, Aborted, Reset, TimedOut, Lost };

struct Command {
    uint64_t id = 0;
    std::shared_ptr<Job> job;
    Session* session = nullptr;
    TaskPtr task;
    bool write = false;
    bool finished = false;   // libiscsi has let go of the task
    int scsiStatus = 0;      // as libiscsi reported it
    EndReason reason = EndReason::None;
};

// An outstanding task management request (ABORT TASK or LUN RESET).
struct TaskManagement {
    enum class Kind { Abort, Reset };
    Kind kind = Kind::Abort;
    std::shared_ptr<Job> job;  // null once the job has been answered
    Session* session = nullptr;
    uint64_t commandId = 0;    // Abort: the command it stops
    uint8_t lun = 0;           // Reset
    Clock::time_point deadline;
    bool answered = false;     // the callback came
    bool acted = false;        // the worker has acted on the answer
    bool good = false;         // the target reported "function complete" (or "no such task")
};

struct Session {
    enum class State { Connecting, LoggingIn, Ready };

    Session(uint8_t adapter, std::string target) : adapter(adapter), target(std::move(target)) {}
    // The context goes first: its destruction reports cancelled PDUs to callbacks that
    // point into this object.
    ~Session() { context.reset(); }

    const uint8_t adapter;
    const std::string target;
    State state = State::Connecting;
    bool broken = false;  // connection lost or login refused: drop at the next settle
    Clock::time_point loginDeadline;
    std::vector<std::shared_ptr<Job>> waiting;  // jobs waiting for the login
    std::list<Command> commands;
    std::list<TaskManagement> management;
    ContextPtr context;

    Command* findCommand(uint64_t id);
    Command* findCommand(const RequestBlock* srb);
};

// libiscsi callbacks; private data is the Session, Command or TaskManagement.
void onConnected(struct iscsi_context* context, int status, void* data, void* privateData);
void onLoggedIn(struct iscsi_context* context, int status, void* data, void* privateData);
void onCommandDone(struct iscsi_context* context, int status, void* data, void* privateData);
void onManagementDone(struct iscsi_context* context, int status, void* data, void* privateData);
void onIgnored(struct iscsi_context* context, int status, void* data, void* privateData);

}  // namespace vexal::device::iscsi
