#include "device/iscsi/iscsi_worker.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <poll.h>
#include <span>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

#include <iscsi/iscsi.h>
#include <iscsi/scsi-lowlevel.h>

#include "device/iscsi/scsi_result.h"
#include "device/iscsi/session.h"
#include "platform/event.h"

namespace vexal::device::iscsi {
namespace {

bool isTargetAnswer(int scsiStatus) {
    return scsiStatus == SCSI_STATUS_GOOD || scsiStatus == SCSI_STATUS_CHECK_CONDITION ||
           scsiStatus == SCSI_STATUS_RESERVATION_CONFLICT;
}

}  // namespace

Worker::Worker(std::string initiator)
    : initiator_(std::move(initiator)), wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    thread_ = std::thread([this] { loop(); });
}

Worker::~Worker() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        driveCv_.notify_all();
    }
    const uint64_t one = 1;
    if (wake_.valid()) (void)!::write(wake_.get(), &one, sizeof one);
    thread_.join();
}

void Worker::run(const std::shared_ptr<Job>& job) {
    {
        std::unique_lock lock(mutex_);
        if (driver_ != Driver::None || stopping_) {
            // Someone else is driving: hand the job over and wait for it.
            inbox_.push_back(job);
            lock.unlock();
            const uint64_t one = 1;
            if (wake_.valid()) (void)!::write(wake_.get(), &one, sizeof one);
            lock.lock();
            doneCv_.wait(lock, [&] { return job->done; });
            return;
        }
        driver_ = Driver::Caller;
    }
    accept(job);
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (job->done) {
                // What this thread leaves behind (other threads' jobs, a command still
                // being aborted) goes to the worker thread.
                if (inbox_.empty() && !busy()) {
                    driver_ = Driver::None;
                } else {
                    driver_ = Driver::Worker;
                    driveCv_.notify_all();
                }
                return;
            }
        }
        round(INT_MAX);
    }
}

void Worker::finish(const std::shared_ptr<Job>& job, uint8_t status) {
    RequestBlock& srb = *job->srb;
    srb.status.store(status);
    if ((srb.flags & srb_flags::EventNotify) && srb.post) srb.post->set();
    // After this the caller may return and the block may be gone.
    std::lock_guard lock(mutex_);
    job->done = true;
    doneCv_.notify_all();
}

void Worker::endExecute(const std::shared_ptr<Job>& job, uint8_t status, uint8_t hostStatus) {
    RequestBlock& srb = *job->srb;
    srb.senseLength = 0;
    srb.targetStatus = target_status::Good;
    srb.residual = 0;
    srb.hostAdapterStatus = hostStatus;
    finish(job, status);
}

void Worker::fail(const std::shared_ptr<Job>& job, uint8_t hostStatus) {
    switch (job->kind) {
    case Job::Kind::Execute: return endExecute(job, srb_status::Error, hostStatus);
    case Job::Kind::Abort: return finish(job, srb_status::AbortFailed);
    case Job::Kind::Abandon: return finish(job, srb_status::AbortFailed);
    case Job::Kind::Reset: return finish(job, srb_status::InvalidSrb);
    }
}

void Worker::loop() {
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            // Sleep until a caller hands over what it left, or it is time to look at
            // the idle sessions.
            driveCv_.wait_for(lock, kIdleLook, [&] {
                return (stopping_ && driver_ != Driver::Caller) || driver_ == Driver::Worker ||
                       (driver_ == Driver::None && !inbox_.empty());
            });
            if (driver_ == Driver::Caller) continue;
            driver_ = Driver::Worker;
            if (stopping_) break;
        }
        // The first round only looks: an idle session may have a NOP-In waiting or may
        // have been closed by the target.
        int wait = 0;
        for (;;) {
            round(wait);
            wait = INT_MAX;
            std::lock_guard lock(mutex_);
            if (stopping_) break;
            if (inbox_.empty() && !busy()) {
                driver_ = Driver::None;
                break;
            }
        }
    }
    // Shutting down (the worker drives): every session goes, every job still queued fails.
    for (auto& [key, session] : sessions_) session->broken = true;
    settle();
    std::deque<std::shared_ptr<Job>> left;
    {
        std::lock_guard lock(mutex_);
        left.swap(inbox_);
    }
    for (const auto& job : left) fail(job, ha_status::UnexpectedBusFree);
}

void Worker::round(int maxWaitMs) {
    std::deque<std::shared_ptr<Job>> jobs;
    {
        std::lock_guard lock(mutex_);
        jobs.swap(inbox_);
    }
    for (const auto& job : jobs) accept(job);
    settle();

    descriptors_.assign(1, pollfd{wake_.get(), POLLIN, 0});
    polled_.assign(1, nullptr);
    for (auto& [key, session] : sessions_) {
        const int fd = iscsi_get_fd(session->context.get());
        if (fd < 0) continue;
        descriptors_.push_back({fd, static_cast<short>(iscsi_which_events(session->context.get())), 0});
        polled_.push_back(session.get());
    }
    int timeout = std::min(pollTimeoutMs(Clock::now()), maxWaitMs);
    if (!wake_.valid()) timeout = std::min(timeout, 10);
    if (::poll(descriptors_.data(), descriptors_.size(), timeout) > 0) {
        if (descriptors_[0].revents) {
            uint64_t count;
            (void)!::read(wake_.get(), &count, sizeof count);
        }
        for (size_t i = 1; i < descriptors_.size(); ++i)
            if (descriptors_[i].revents) service(*polled_[i], descriptors_[i].revents);
    }
    checkDeadlines(Clock::now());
    settle();
}

bool Worker::busy() const {
    for (const auto& [key, session] : sessions_) {
        if (session->state != Session::State::Ready || !session->waiting.empty() || !session->commands.empty() ||
            !session->management.empty())
            return true;
    }
    return false;
}

void Worker::accept(const std::shared_ptr<Job>& job) {
    if (job->kind == Job::Kind::Abort) return acceptAbort(job);
    if (job->kind == Job::Kind::Abandon) return acceptAbandon(job);
    Session* session = sessionFor(*job);
    if (!session) return fail(job, ha_status::UnexpectedBusFree);
    if (session->state == Session::State::Ready && !session->broken) submit(*session, job);
    else session->waiting.push_back(job);
}

Session* Worker::sessionFor(const Job& job) {
    const SessionKey key{job.adapter, job.target};
    if (auto it = sessions_.find(key); it != sessions_.end()) {
        Session& found = *it->second;
        // Nobody may have looked at an idle session since the target closed it.
        if (found.state == Session::State::Ready && found.commands.empty() &&
            socketClosed(iscsi_get_fd(found.context.get())))
            found.broken = true;
        if (!found.broken) return &found;
        // Lost since the last round: end it and start afresh.
        settleSession(*it->second);
        sessions_.erase(it);
    }
    auto session = std::make_unique<Session>(job.adapter, job.target);
    session->context = makeContext(initiator_, job.target);
    if (!session->context) return nullptr;
    session->loginDeadline = std::min(Clock::now() + kLoginLimit, job.deadline);
    // One attempt per command that finds no session: a target that is down answers at
    // once, and nothing here retries.
    if (iscsi_connect_async(session->context.get(), job.portal.c_str(), onConnected, session.get()) != 0)
        return nullptr;
    return sessions_.emplace(key, std::move(session)).first->second.get();
}

void Worker::submit(Session& session, const std::shared_ptr<Job>& job) {
    if (job->kind == Job::Kind::Execute) submitExecute(session, job);
    else submitReset(session, job);
}

void Worker::submitExecute(Session& session, const std::shared_ptr<Job>& job) {
    RequestBlock& srb = *job->srb;
    const bool in = srb.flags & srb_flags::DataIn;
    const bool out = srb.flags & srb_flags::DataOut;
    const uint32_t length = srb.bufferLength;
    if ((in && out) || srb.cdbLength == 0 || srb.cdbLength > srb.cdb.size() || (length > 0 && !srb.buffer) ||
        length > INT_MAX)
        return endExecute(job, srb_status::InvalidSrb, ha_status::Ok);
    int direction = SCSI_XFER_NONE;
    if (length > 0 && in) direction = SCSI_XFER_READ;
    else if (length > 0 && out) direction = SCSI_XFER_WRITE;

    std::array<uint8_t, 16> cdb = srb.cdb;
    TaskPtr task(scsi_create_task(srb.cdbLength, cdb.data(), direction,
                                  direction == SCSI_XFER_NONE ? 0 : static_cast<int>(length)));
    if (!task) return endExecute(job, srb_status::InvalidSrb, ha_status::Ok);
    // Data from the device goes straight into the block's buffer.
    if (direction == SCSI_XFER_READ &&
        scsi_task_add_data_in_buffer(task.get(), static_cast<int>(length), srb.buffer) != 0)
        return endExecute(job, srb_status::InvalidSrb, ha_status::Ok);

    Command& command = session.commands.emplace_back();
    command.id = nextCommandId_++;
    command.job = job;
    command.session = &session;
    command.task = std::move(task);
    command.write = direction == SCSI_XFER_WRITE;
    iscsi_data data{length, srb.buffer};
    if (iscsi_scsi_command_async(session.context.get(), job->lun, command.task.get(), onCommandDone,
                                 command.write ? &data : nullptr, &command) != 0) {
        command.finished = true;
        command.scsiStatus = SCSI_STATUS_ERROR;
        command.reason = EndReason::Lost;
        session.broken = true;
    }
}

void Worker::submitReset(Session& session, const std::shared_ptr<Job>& job) {
    TaskManagement& request = session.management.emplace_back();
    request.kind = TaskManagement::Kind::Reset;
    request.job = job;
    request.session = &session;
    request.lun = job->lun;
    request.deadline = job->deadline;
    // The generic call: libiscsi's LUN reset helper would also drop every task of the
    // session locally, the other LUNs' too.
    if (iscsi_task_mgmt_async(session.context.get(), job->lun, ISCSI_TM_LUN_RESET, 0xFFFFFFFF, 0,
                              onManagementDone, &request) != 0)
        request.answered = true;
}

bool Worker::endWaiting(Session& session, const RequestBlock* target) {
    auto& waiting = session.waiting;
    for (auto it = waiting.begin(); it != waiting.end(); ++it) {
        if ((*it)->kind == Job::Kind::Execute && (*it)->srb == target) {
            const std::shared_ptr<Job> stopped = *it;
            waiting.erase(it);
            endExecute(stopped, srb_status::Aborted, ha_status::Ok);
            return true;
        }
    }
    return false;
}

void Worker::acceptAbort(const std::shared_ptr<Job>& job) {
    RequestBlock* target = job->toAbort;
    if (!target) return finish(job, srb_status::InvalidSrb);
    for (auto& [key, session] : sessions_) {
        if (endWaiting(*session, target)) return finish(job, srb_status::Complete);
        Command* command = session->findCommand(target);
        if (!command) continue;
        TaskManagement& request = session->management.emplace_back();
        request.kind = TaskManagement::Kind::Abort;
        request.job = job;
        request.session = session.get();
        request.commandId = command->id;
        request.deadline = Clock::now() + kAbortLimit;
        scsi_task* task = command->task.get();
        if (session->broken || iscsi_task_mgmt_async(session->context.get(), static_cast<int>(task->lun),
                                                     ISCSI_TM_ABORT_TASK, task->itt, task->cmdsn,
                                                     onManagementDone, &request) != 0)
            request.answered = true;
        return;
    }
    // Not in flight here: it has ended, or it never reached this transport.
    finish(job, target->status.load() != srb_status::Pending ? srb_status::Complete : srb_status::AbortFailed);
}

void Worker::acceptAbandon(const std::shared_ptr<Job>& job) {
    RequestBlock* target = job->toAbort;
    if (!target) return finish(job, srb_status::InvalidSrb);
    for (auto& [key, session] : sessions_) {
        if (endWaiting(*session, target)) return finish(job, srb_status::Complete);
        Command* command = session->findCommand(target);
        if (!command) continue;
        // The other commands of the session end with it (a lost connection to them).
        command->reason = EndReason::Aborted;
        session->broken = true;
        settleSession(*session);
        // The round goes on to poll(): its driver, maybe the command's own caller, must
        // see at once that the command has ended.
        const uint64_t one = 1;
        if (wake_.valid()) (void)!::write(wake_.get(), &one, sizeof one);
        return finish(job, srb_status::Complete);
    }
    // Not in flight here: it has ended, or it never reached this transport.
    finish(job, target->status.load() != srb_status::Pending ? srb_status::Complete : srb_status::AbortFailed);
}

void Worker::service(Session& session, short revents) {
    const bool ready = session.state == Session::State::Ready;
    if (iscsi_service(session.context.get(), revents) < 0) session.broken = true;
    // With automatic reconnection off, libiscsi cancels what is in flight when the peer
    // goes away but keeps the dead socket; see for ourselves.
    if (ready && (revents & (POLLIN | POLLHUP | POLLERR)) && socketClosed(iscsi_get_fd(session.context.get())))
        session.broken = true;
}

void Worker::checkDeadlines(Clock::time_point now) {
    for (auto& [key, session] : sessions_) {
        if (session->broken) continue;
        if (session->state != Session::State::Ready) {
            if (now >= session->loginDeadline) session->broken = true;
            auto& waiting = session->waiting;
            for (auto it = waiting.begin(); it != waiting.end();) {
                if ((*it)->deadline > now) {
                    ++it;
                    continue;
                }
                const std::shared_ptr<Job> late = *it;
                it = waiting.erase(it);
                fail(late, ha_status::CommandTimeout);
            }
            continue;
        }
        bool late = false;
        for (Command& command : session->commands) {
            if (command.finished || command.job->deadline > now) continue;
            late = true;
            command.reason = EndReason::TimedOut;
            scsi_task* task = command.task.get();
            iscsi_task_mgmt_async(session->context.get(), static_cast<int>(task->lun), ISCSI_TM_ABORT_TASK,
                                  task->itt, task->cmdsn, onIgnored, nullptr);
        }
        if (late) {
            // Push the ABORT TASK out, then give up on the session: whatever state the
            // target is in, the next command starts from a fresh login.
            iscsi_service(session->context.get(), POLLOUT);
            session->broken = true;
        }
    }
}

int Worker::pollTimeoutMs(Clock::time_point now) const {
    Clock::time_point next = now + std::chrono::seconds(1);
    for (const auto& [key, session] : sessions_) {
        if (session->state != Session::State::Ready) next = std::min(next, session->loginDeadline);
        for (const auto& job : session->waiting) next = std::min(next, job->deadline);
        for (const Command& command : session->commands)
            if (!command.finished) next = std::min(next, command.job->deadline);
        for (const TaskManagement& request : session->management)
            if (request.job) next = std::min(next, request.deadline);
    }
    if (next <= now) return 0;
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(next - now).count());
}

void Worker::drop(Session& session, uint8_t hostStatus) {
    for (Command& command : session.commands)
        if (!command.finished && command.reason == EndReason::None) command.reason = EndReason::Lost;
    session.context.reset();  // reports the PDUs in flight as cancelled
    for (Command& command : session.commands) {
        if (!command.finished) {
            command.finished = true;
            command.scsiStatus = SCSI_STATUS_CANCELLED;
        }
    }
    for (TaskManagement& request : session.management) {
        request.answered = true;
        request.acted = true;
    }
    for (const auto& job : session.waiting) fail(job, hostStatus);
    session.waiting.clear();
}

void Worker::settle() {
    for (auto it = sessions_.begin(); it != sessions_.end();) {
        settleSession(*it->second);
        if (!it->second->context) it = sessions_.erase(it);
        else ++it;
    }
}

void Worker::settleSession(Session& session) {
    if (session.state == Session::State::Ready && !session.broken && !session.waiting.empty()) {
        auto waiting = std::move(session.waiting);
        session.waiting.clear();
        for (const auto& job : waiting) submit(session, job);
    }
    // Act on the answers of ABORT TASK and LUN RESET: the target has ended those tasks
    // without a response of their own, so let libiscsi forget them.
    for (TaskManagement& request : session.management) {
        if (!request.answered || request.acted || session.broken) continue;
        request.acted = true;
        if (!request.good) continue;
        for (Command& command : session.commands) {
            if (command.finished) continue;
            const bool hit = request.kind == TaskManagement::Kind::Abort
                                 ? command.id == request.commandId
                                 : command.job->lun == request.lun;
            if (!hit) continue;
            command.reason = request.kind == TaskManagement::Kind::Abort ? EndReason::Aborted : EndReason::Reset;
            iscsi_scsi_cancel_task(session.context.get(), command.task.get());
            if (!command.finished) {
                command.finished = true;
                command.scsiStatus = SCSI_STATUS_CANCELLED;
            }
            // A write may still have Data-Out PDUs queued that point at its buffer and
            // task; only tearing the connection down removes them safely.
            if (command.write) session.broken = true;
        }
    }
    // A command that libiscsi itself cancelled or failed means the connection is gone
    // or in an unknown state.
    for (const Command& command : session.commands)
        if (command.finished && command.reason == EndReason::None && !isTargetAnswer(command.scsiStatus))
            session.broken = true;
    if (session.broken && session.context) drop(session, ha_status::UnexpectedBusFree);

    for (auto it = session.commands.begin(); it != session.commands.end();) {
        if (!it->finished) {
            ++it;
            continue;
        }
        finishExecute(*it);
        it = session.commands.erase(it);
    }
    const Clock::time_point now = Clock::now();
    for (auto it = session.management.begin(); it != session.management.end();) {
        TaskManagement& request = *it;
        if (request.job) {
            if (request.kind == TaskManagement::Kind::Abort) {
                // Complete once the command has ended, whoever ended it.
                if (!session.findCommand(request.commandId)) {
                    finish(request.job, srb_status::Complete);
                    request.job = nullptr;
                } else if (request.acted || now >= request.deadline) {
                    finish(request.job, srb_status::AbortFailed);
                    request.job = nullptr;
                }
            } else if (request.acted || now >= request.deadline) {
                finish(request.job, request.acted && request.good ? srb_status::Complete : srb_status::InvalidSrb);
                request.job = nullptr;
            }
        }
        // Kept until libiscsi has let go of it: its callback points here.
        if (!request.job && (request.answered || !session.context)) it = session.management.erase(it);
        else ++it;
    }
}

void Worker::finishExecute(Command& command) {
    const std::shared_ptr<Job>& job = command.job;
    RequestBlock& srb = *job->srb;
    const size_t room = std::min<size_t>(srb.senseLength, kMaxSense);
    srb.senseLength = 0;
    srb.hostAdapterStatus = ha_status::Ok;
    srb.targetStatus = target_status::Good;
    srb.residual = 0;
    scsi_task* task = command.task.get();
    const bool inquiry = isStandardInquiry(srb.cdb.data(), srb.cdbLength);
    uint8_t status = srb_status::Error;
    // The target's residual holds for a failed command too (a refused one sent nothing);
    // whether the bytes it did send count is the device library's rule.
    const bool answered = command.scsiStatus == SCSI_STATUS_GOOD || command.scsiStatus == SCSI_STATUS_CHECK_CONDITION;
    if (answered && task->residual_status == SCSI_RESIDUAL_UNDERFLOW)
        srb.residual = static_cast<uint32_t>(std::min<size_t>(task->residual, srb.bufferLength));
    switch (command.scsiStatus) {
    case SCSI_STATUS_GOOD: {
        status = srb_status::Complete;
        const size_t received = (srb.flags & srb_flags::DataIn) && srb.buffer ? srb.bufferLength - srb.residual : 0;
        if (inquiry && isQualifierAbsent(std::span<const uint8_t>(srb.buffer, received))) status = srb_status::NoDevice;
        break;
    }
    case SCSI_STATUS_CHECK_CONDITION: {
        std::span<const uint8_t> segment;
        if (task->datain.data && task->datain.size > 0)
            segment = {task->datain.data, static_cast<size_t>(task->datain.size)};
        const size_t count = extractSense(segment, srb.senseArea.data(), room);
        srb.senseLength = static_cast<uint8_t>(count);
        srb.targetStatus = target_status::CheckCondition;
        if (inquiry && isLunNotSupported(std::span<const uint8_t>(srb.senseArea.data(), count)))
            status = srb_status::NoDevice;
        break;
    }
    case SCSI_STATUS_RESERVATION_CONFLICT:
        srb.targetStatus = target_status::ReservationConflict;
        break;
    default:
        switch (command.reason) {
        case EndReason::Aborted: status = srb_status::Aborted; break;
        case EndReason::Reset: srb.hostAdapterStatus = ha_status::BusReset; break;
        case EndReason::TimedOut: srb.hostAdapterStatus = ha_status::CommandTimeout; break;
        default: srb.hostAdapterStatus = ha_status::UnexpectedBusFree; break;
        }
        break;
    }
    finish(job, status);
}

}  // namespace vexal::device::iscsi
