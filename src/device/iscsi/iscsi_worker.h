#pragma once
// The thread that owns every iSCSI session of one transport.
//
// libiscsi contexts are not thread-safe. Here only the worker thread ever calls libiscsi
// on a session's context: callers (the device library's threads) hand it jobs through a
// queue and an eventfd and wait for the job to be marked done. An abort or a reset that
// arrives on another thread while an execute block is in progress is simply one more
// job; the worker acts on it between two poll() rounds. Discovery does not go through
// here: it uses a context of its own on the calling thread.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "device/iscsi/iscsi_context.h"
#include "device/request_block.h"

namespace vexal::device::iscsi {

using Clock = std::chrono::steady_clock;

struct Job {
    enum class Kind { Execute, Abort, Reset };
    Kind kind = Kind::Execute;
    RequestBlock* srb = nullptr;      // the block this job completes
    RequestBlock* toAbort = nullptr;  // Abort: the execute block to stop
    uint8_t adapter = 0;
    uint8_t lun = 0;
    std::string portal;  // libiscsi form
    std::string target;  // iSCSI name of the target
    Clock::time_point deadline;
    bool done = false;  // guarded by the worker's mutex
};

struct Session;

class Worker {
public:
    explicit Worker(std::string initiator);
    ~Worker();
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // Hands the job to the worker thread and returns once its block is complete.
    void run(const std::shared_ptr<Job>& job);

    // How long a login may take before the target counts as unreachable.
    static constexpr std::chrono::seconds kLoginLimit{10};
    // How long an ABORT TASK may take.
    static constexpr std::chrono::seconds kAbortLimit{5};

private:
    using SessionKey = std::pair<uint8_t, std::string>;

    void loop();
    void accept(const std::shared_ptr<Job>& job);
    void acceptAbort(const std::shared_ptr<Job>& job);
    Session* sessionFor(const Job& job);
    void submit(Session& session, const std::shared_ptr<Job>& job);
    void submitExecute(Session& session, const std::shared_ptr<Job>& job);
    void submitReset(Session& session, const std::shared_ptr<Job>& job);
    void service(Session& session, short revents);
    void checkDeadlines(Clock::time_point now);
    void settle();
    void settleSession(Session& session);
    void drop(Session& session, uint8_t reason);
    int pollTimeoutMs(Clock::time_point now) const;
    // Sets the block's status, signals its event and wakes the caller.
    void finish(const std::shared_ptr<Job>& job, uint8_t status);
    // Ends an execute block that the target did not answer.
    void endExecute(const std::shared_ptr<Job>& job, uint8_t status, uint8_t hostStatus);
    // Ends a job that cannot be carried out: execute blocks with `hostStatus`.
    void fail(const std::shared_ptr<Job>& job, uint8_t hostStatus);
    void finishExecute(struct Command& command);

    const std::string initiator_;
    std::mutex mutex_;
    std::condition_variable doneCv_;
    std::deque<std::shared_ptr<Job>> inbox_;
    bool stopping_ = false;
    FileDescriptor wake_;
    // Worker thread only.
    std::map<SessionKey, std::unique_ptr<Session>> sessions_;
    uint64_t nextCommandId_ = 1;
    std::thread thread_;
};

}  // namespace vexal::device::iscsi
