#pragma once
// The event loop that owns every iSCSI session of one transport.
//
// libiscsi contexts are not thread-safe, so one thread at a time drives the loop: the
// driver alone touches the sessions. A caller that finds nobody driving drives the loop
// itself until its job is done, so a command costs no thread hand-over. A caller that
// finds the loop driven hands its job over through a queue and an eventfd and waits for
// it to be marked done; an abort or a reset from another thread while an execute block
// is in progress is simply one more such job, taken between two poll() rounds. Whatever
// a caller leaves outstanding when its own job is done passes to the worker thread,
// which also looks at idle sessions now and then (NOP-In, a connection the target
// closed). Discovery does not go through here: it uses a context of its own on the
// calling thread.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <poll.h>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "device/iscsi/iscsi_context.h"
#include "device/request_block.h"

namespace vexal::device::iscsi {

using Clock = std::chrono::steady_clock;

struct Job {
    enum class Kind { Execute, Abort, Reset, Abandon };
    Kind kind = Kind::Execute;
    RequestBlock* srb = nullptr;      // the block this job completes
    RequestBlock* toAbort = nullptr;  // Abort, Abandon: the execute block to stop
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

    // Carries out the job, on this thread when the loop is free, and returns once its
    // block is complete.
    void run(const std::shared_ptr<Job>& job);

    // How long a login may take before the target counts as unreachable.
    static constexpr std::chrono::seconds kLoginLimit{10};
    // How long an ABORT TASK may take.
    static constexpr std::chrono::seconds kAbortLimit{5};
    // How often the worker looks at sessions nobody is using.
    static constexpr std::chrono::milliseconds kIdleLook{100};

private:
    using SessionKey = std::pair<uint8_t, std::string>;
    // Who drives the loop; guarded by mutex_. The driver alone touches sessions_.
    enum class Driver { None, Worker, Caller };

    void loop();
    // One round of the loop: take queued jobs, wait for the sockets (at most
    // `maxWaitMs`), act on what they bring and on deadlines.
    void round(int maxWaitMs);
    // Something is in flight, waiting for a login or being logged in.
    bool busy() const;
    void accept(const std::shared_ptr<Job>& job);
    void acceptAbort(const std::shared_ptr<Job>& job);
    // Ends the execute block without the target's word: its session is dropped, which is
    // the only way to make libiscsi let go of the task and its buffer.
    void acceptAbandon(const std::shared_ptr<Job>& job);
    // Ends `target` as aborted when it still waits for its session; false when it does not.
    bool endWaiting(Session& session, const RequestBlock* target);
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
    std::condition_variable driveCv_;  // wakes the worker thread for a hand-over
    std::deque<std::shared_ptr<Job>> inbox_;
    bool stopping_ = false;
    Driver driver_ = Driver::None;
    FileDescriptor wake_;
    // The driver only.
    std::map<SessionKey, std::unique_ptr<Session>> sessions_;
    uint64_t nextCommandId_ = 1;
    std::vector<pollfd> descriptors_;
    std::vector<Session*> polled_;
    std::thread thread_;
};

}  // namespace vexal::device::iscsi
