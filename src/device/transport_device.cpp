#include "device/transport_device.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "device/buffer_table.h"
#include "device/resend_policy.h"
#include "device/sense_format.h"
#include "device/data_in_count.h"

namespace vexal::device {

using namespace std::chrono_literals;

TransportDevice::TransportDevice(std::shared_ptr<Transport> transport, int handle)
    : transport_(std::move(transport)), handle_(handle) {}

void TransportDevice::SetIdentity(uint8_t adapter, uint8_t target, uint8_t lun, const uint8_t* data,
                                  size_t length) {
    address_ = {adapter, target, lun};
    identity_.fill(0);
    if (data) std::memcpy(identity_.data(), data, std::min(length, identity_.size()));
}

void TransportDevice::send(RequestBlock& srb, bool waitIfPending) {
    if (srb.post) srb.post->reset();
    // A back end that cannot be reached would leave the block pending until the wait
    // loop's limit (hours); fail it at once instead.
    if (transport_->sendSrb(srb) < 0) srb.status.store(srb_status::InvalidSrb);
    if (waitIfPending && srb.status.load() == srb_status::Pending && srb.post)
        srb.post->wait(std::chrono::milliseconds(limits_.pollWaitMs));
}

bool TransportDevice::sendControl(RequestBlock& srb, int waitMs) {
    platform::Event done;
    srb.hostAdapter = address_.hostAdapter;
    srb.target = address_.target;
    srb.lun = address_.lun;
    srb.flags |= srb_flags::EventNotify;
    srb.post = &done;
    if (transport_->sendSrb(srb) < 0) return false;
    if (srb.status.load() == srb_status::Pending) done.wait(std::chrono::milliseconds(waitMs));
    return srb.status.load() == srb_status::Complete;
}

void TransportDevice::fillExecute(const ScsiRequest& request) {
    srb_.clear();
    srb_.command = SrbCommand::ExecuteScsi;
    srb_.hostAdapter = address_.hostAdapter;
    srb_.target = address_.target;
    srb_.lun = address_.lun;
    srb_.flags = srb_flags::EventNotify;
    srb_.post = &event_;
    srb_.senseLength = static_cast<uint8_t>(kMaxSense);
    srb_.cdbLength = static_cast<uint8_t>(std::min<size_t>(request.cdbLength, srb_.cdb.size()));
    std::memcpy(srb_.cdb.data(), request.cdb.data(), srb_.cdbLength);
    if (request.buffer && request.direction != ScsiRequest::None) {
        srb_.bufferLength = static_cast<uint32_t>(request.buffer->used());
        if (request.direction == ScsiRequest::FromDevice) {
            request.buffer->ensure(srb_.bufferLength);
            srb_.flags |= srb_flags::DataIn;
        } else {
            srb_.flags |= srb_flags::DataOut;
        }
        srb_.buffer = request.buffer->data();
    }
}

void TransportDevice::StartNext() {
    if (current_.load() || queueCount_ == 0) return;
    ScsiRequest* request = queue_[queueHead_];
    queueHead_ = (queueHead_ + 1) % kQueueLength;
    --queueCount_;
    current_.store(request);
    fillExecute(*request);
    // A synchronous transport carries the command out inside send(): the wait is timed
    // from here, not from when the wait loop starts.
    sentAt_ = std::chrono::steady_clock::now();
    send(srb_, true);
}

bool TransportDevice::Enqueue(ScsiRequest* request) {
    if (queueCount_ >= kQueueLength) return false;
    queue_[(queueHead_ + queueCount_) % kQueueLength] = request;
    ++queueCount_;
    StartNext();
    return true;
}

void TransportDevice::complete(int code, bool withSense) {
    ScsiRequest* request = current_.load();
    if (!request) return;
    request->senseLength = withSense ? std::min<uint32_t>(srb_.senseLength, kMaxSense) : 0;
    std::memcpy(request->sense.data(), srb_.senseArea.data(), request->senseLength);
    request->systemError = srb_.systemError;
    const uint8_t status = srb_.status.load();
    request->transferred = knownTransferred({status, srb_.hostAdapterStatus, srb_.targetStatus, srb_.bufferLength,
                                             srb_.residual, std::span(srb_.cdb.data(), srb_.cdbLength),
                                             std::span(request->sense.data(), request->senseLength)});
    // Bytes the device is not known to have sent must not show another command's data (a
    // block still pending may yet be written to by the transport: it is left alone).
    if (request->direction == ScsiRequest::FromDevice && srb_.buffer && status != srb_status::Pending &&
        request->transferred < srb_.bufferLength)
        std::memset(srb_.buffer + request->transferred, 0, srb_.bufferLength - request->transferred);
    lastTargetStatus_ = srb_.targetStatus;
    lastCompleted_ = request;
    current_.store(nullptr);
    if (code == completion::Good) StartNext();
}

int TransportDevice::classify() {
    const uint8_t status = srb_.status.load();
    switch (status) {
    case srb_status::Complete:
        complete(completion::Good, true);
        return completion::Good;
    case srb_status::Aborted:
    case srb_status::AbortFailed:
    case srb_status::InvalidSrb:
    case srb_status::OldManager:
    case srb_status::ManagerBusy:
        SetLastErrorCode(status);
        complete(completion::Failed, false);
        return completion::Failed;
    case srb_status::Error:
        switch (srb_.hostAdapterStatus) {
        case ha_status::Timeout:
        case ha_status::CommandTimeout:
        case ha_status::SelectionTimeout:
            SetLastErrorCode(srb_.hostAdapterStatus);
            return completion::Retry;
        case ha_status::MessageReject:
        case ha_status::BusReset:
        case ha_status::ParityError:
        case ha_status::RequestSenseFailed:
        case ha_status::UnexpectedBusFree:
        case ha_status::PhaseError:
            SetLastErrorCode(srb_.hostAdapterStatus);
            complete(completion::Failed, true);
            return completion::Failed;
        default: {
            const size_t senseCount = std::min<size_t>(srb_.senseLength, srb_.senseArea.size());
            const SenseFields sense = parseSense({srb_.senseArea.data(), senseCount});
            const bool unitAttention = srb_.targetStatus == target_status::CheckCondition &&
                                       sense.present() && sense.key == 6;
            complete(completion::Failed, true);
            return unitAttention ? completion::UnitAttention : completion::Failed;
        }
        }
    default:
        // Invalid command, adapter or address: keep the status as the reason and free the
        // device for the next command rather than leaving this one current for ever.
        SetLastErrorCode(status);
        complete(completion::Invalid, false);
        return completion::Invalid;
    }
}

int TransportDevice::PollCompletion() {
    if (!current_.load()) return completion::Invalid;
    if (srb_.status.load() == srb_status::Pending) {
        if (!event_.wait(std::chrono::milliseconds(limits_.pollWaitMs))) return completion::Outstanding;
        if (srb_.status.load() == srb_status::Pending) return completion::Outstanding;
    }
    return classify();
}

void TransportDevice::Resend() {
    ScsiRequest* request = current_.load();
    if (!request) return;
    fillExecute(*request);
    send(srb_, false);
}

int TransportDevice::WaitForCompletion() {
    using Clock = std::chrono::steady_clock;
    const ScsiRequest* request = current_.load();
    const auto started = request ? sentAt_ : Clock::now();
    report_ = TimeoutReport{};
    report_.sends = request ? 1 : 0;
    report_.opcode = request ? request->cdb[0] : 0;
    int code = completion::Outstanding;
    int polls = 0;
    int resends = 0;
    for (;;) {
        code = PollCompletion();
        ++polls;
        if (code == completion::Retry) {
            ++report_.timeouts;
            // A command that may have acted before it timed out is never sent again; one
            // that only reads is, a few times and only early on, so that the whole wait
            // stays within what an operator can sit through.
            const bool readsOnly = resendRule(report_.opcode).resend;
            const bool early = Clock::now() - started < std::chrono::milliseconds(limits_.resendWindowMs);
            if (!readsOnly || resends >= limits_.maxRetries || !early) {
                report_.withheld = !readsOnly;
                complete(code, false);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(limits_.retrySleepMs));
            Resend();
            ++resends;
            ++report_.sends;
            continue;
        }
        if (code != completion::Outstanding) break;
        if (polls > limits_.maxPolls) {
            complete(code, false);
            break;
        }
    }
    report_.waitedMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count();
    return code;
}

bool TransportDevice::RefreshIdentity() {
    std::array<uint8_t, kIdentityLength> data{};
    RequestBlock srb;
    platform::Event done;
    srb.command = SrbCommand::ExecuteScsi;
    srb.hostAdapter = address_.hostAdapter;
    srb.target = address_.target;
    srb.lun = address_.lun;
    srb.flags = srb_flags::DataIn | srb_flags::EventNotify;
    srb.post = &done;
    srb.buffer = data.data();
    srb.bufferLength = kIdentityLength;
    srb.senseLength = 14;
    srb.cdbLength = 6;
    // No LUN in byte 1: the transport addresses it (see Bus::NextDevice).
    srb.cdb = {0x12, 0, 0, 0, static_cast<uint8_t>(kIdentityLength), 0};
    if (transport_->sendSrb(srb) < 0) return false;
    if (srb.status.load() == srb_status::Pending) done.wait(1000ms);
    if (srb.status.load() != srb_status::Complete) return false;
    SetIdentity(address_.hostAdapter, address_.target, address_.lun, data.data(), data.size());
    return true;
}

int TransportDevice::Timeout(bool set, int seconds) {
    RequestBlock query;
    query.command = SrbCommand::Timeouts;
    query.flags = srb_flags::DataIn;
    const int current = sendControl(query, 1000) ? static_cast<int>(query.timeoutSeconds) : 0;
    if (!set) return current;
    RequestBlock change;
    change.command = SrbCommand::Timeouts;
    change.flags = srb_flags::DataOut;
    change.timeoutSeconds = static_cast<uint32_t>(std::max(seconds, 0));
    return sendControl(change, 1000) ? seconds : current;
}

bool TransportDevice::ResetDevice(ControlOutcome* outcome) {
    RequestBlock reset;
    reset.command = SrbCommand::ResetDevice;
    const bool done = sendControl(reset, 60000);
    if (outcome) *outcome = {reset.status.load(), reset.systemError};
    return done;
}

bool TransportDevice::AbortCommand() {
    if (!current_.load() || srb_.status.load() != srb_status::Pending) return true;
    // Ask the transport to abort at once, then give the command five seconds to end.
    RequestBlock abort;
    abort.command = SrbCommand::Abort;
    abort.toAbort = &srb_;
    const bool sent = sendControl(abort, 5000);
    // A transport that cannot abort, or a device that did not answer: waiting on is vain.
    if (!sent) return srb_.status.load() != srb_status::Pending;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (srb_.status.load() == srb_status::Pending && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    return srb_.status.load() != srb_status::Pending;
}

bool TransportDevice::AbandonCommand() {
    if (!current_.load() || srb_.status.load() != srb_status::Pending) return true;
    RequestBlock abandon;
    abandon.command = SrbCommand::Abandon;
    abandon.toAbort = &srb_;
    if (!sendControl(abandon, 2000)) return srb_.status.load() != srb_status::Pending;
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (srb_.status.load() == srb_status::Pending && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    return srb_.status.load() != srb_status::Pending;
}

}  // namespace vexal::device
