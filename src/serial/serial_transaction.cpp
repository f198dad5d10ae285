#include "serial/serial_transaction.h"

#include "platform/event.h"

namespace vexal::serial {
namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

SerialOutcome SerialTransaction::run(const SerialRequest& request) {
    std::unique_lock lock(mutex_);
    request_ = &request;
    sendPosition_ = 0;
    received_ = 0;
    match_ = 0;
    ended_ = false;
    outcome_ = {};
    state_ = TransactionState::Sending;
    const bool command = request.action == SerialAction::None;
    sendAt_ = Clock::now() + (command && !request.command.empty() ? kCharacterPause : Clock::duration::zero());
    // The first step (with its pause) comes before the time-out starts, as the statement
    // runs it before it begins to wait.
    Clock::time_point deadline = Clock::time_point::max();
    bool started = false;
    while (!ended_) {
        const auto now = Clock::now();
        if (state_ == TransactionState::Sending && now >= sendAt_) {
            step(lock);
            if (!started) {
                started = true;
                deadline = Clock::now() + request.timeout;
            }
            continue;
        }
        if (now >= deadline) {
            end(kSerialTimedOut);
            break;
        }
        const auto wake = state_ == TransactionState::Sending ? std::min(sendAt_, deadline) : deadline;
        changed_.wait_until(lock, wake);
    }
    request_ = nullptr;
    return outcome_;
}

void SerialTransaction::step(std::unique_lock<std::mutex>&) {
    const SerialRequest& r = *request_;
    bool sent = false;
    // The state changes before the byte leaves, so that its echo finds the right state;
    // the watcher waits for the lock, which the send holds.
    switch (r.action) {
    case SerialAction::CtrlA:
    case SerialAction::CtrlZ:
        state_ = TransactionState::Receiving;
        sent = line_.sendByte(r.action == SerialAction::CtrlA ? 0x01 : 0x1A);
        break;
    case SerialAction::Break:
        state_ = TransactionState::Receiving;
        sent = line_.sendBreak();
        break;
    case SerialAction::None:
        if (sendPosition_ < r.command.size()) {
            expectedEcho_ = static_cast<uint8_t>(r.command[sendPosition_++]);
            state_ = TransactionState::AwaitingEcho;
            sent = line_.sendByte(expectedEcho_);
        } else {
            received_ = 0;
            match_ = 0;
            state_ = TransactionState::Receiving;
            sent = line_.sendByte(13);
        }
        break;
    }
    // Nothing went out, so nothing can answer: end now rather than wait for the time-out.
    if (!sent) end(kSerialTimedOut);
}

void SerialTransaction::onBytes(std::span<const uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    for (const uint8_t byte : bytes) {
        if (ended_ || !request_) return;  // between transactions bytes are not used
        switch (state_) {
        case TransactionState::AwaitingEcho:
            if (byte != expectedEcho_) {
                end(kSerialEchoMismatch);
                break;
            }
            state_ = TransactionState::Sending;
            sendAt_ = Clock::now() + (sendPosition_ < request_->command.size() ? kCharacterPause : Clock::duration::zero());
            changed_.notify_all();
            break;
        case TransactionState::Receiving: receive(byte); break;
        default: end(kSerialUnexpectedByte); break;
        }
    }
}

void SerialTransaction::receive(uint8_t byte) {
    const SerialDestination& d = request_->destination;
    if (d.sink) {
        d.sink(byte);
    } else {
        if (received_ >= d.capacity) {
            end(kSerialBufferFull);
            return;
        }
        d.buffer[received_] = byte;
    }
    const std::string& phrase = request_->termination;
    if (match_ < phrase.size() && byte == static_cast<uint8_t>(phrase[match_])) {
        if (++match_ == phrase.size()) {
            end(kSerialTerminated);
            return;
        }
    } else {
        match_ = 0;  // the byte is not tried as the start of a new match
    }
    ++received_;
}

void SerialTransaction::end(uint8_t status) {
    outcome_ = {status, received_};
    ended_ = true;
    state_ = TransactionState::Idle;
    if (done_) done_->set();
    changed_.notify_all();
}

}  // namespace vexal::serial
