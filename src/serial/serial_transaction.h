#pragma once
// One SERIAL exchange with a drive's console: send a command one character at a time,
// each after 100 ms and checked against its echo, then a carriage return (or a control
// character, or a break), and collect the answer until the termination phrase arrives,
// the destination is full, or the time-out passes. Received bytes come in on the port's
// watcher thread; run() waits on the caller's thread and never past its time-out.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>

namespace vexal::platform {
class Event;
}

namespace vexal::serial {

enum class SerialAction { None, CtrlA, CtrlZ, Break };
enum class TransactionState { Idle, Sending, AwaitingEcho, Receiving };

// The status a SERIAL statement leaves.
enum SerialStatus : uint8_t {
    kSerialTerminated = 0,    // termination phrase received
    kSerialEchoMismatch = 1,
    kSerialBufferFull = 2,
    kSerialUnexpectedByte = 3,
    kSerialTimedOut = 4,
};

// How the transaction reaches the line: both false when the byte or break was not sent.
class SerialLine {
public:
    virtual ~SerialLine() = default;
    virtual bool sendByte(uint8_t byte) = 0;
    virtual bool sendBreak() = 0;
};

// Where the answer goes: a buffer of `capacity` bytes, or (`capacity` 0) a sink without a
// limit. Called on the watcher thread, never after run() has returned.
struct SerialDestination {
    uint8_t* buffer = nullptr;
    size_t capacity = 0;
    std::function<void(uint8_t)> sink;
};

struct SerialRequest {
    std::string command;      // 1 to 128 characters unless `action` is set
    SerialAction action = SerialAction::None;
    std::string termination;  // 1 to 128 characters
    std::chrono::milliseconds timeout{0};
    SerialDestination destination;
};

struct SerialOutcome {
    uint8_t status = kSerialTimedOut;
    uint32_t byteCount = 0;  // bytes received before the end, without the completing one
};

class SerialTransaction {
public:
    static constexpr std::chrono::milliseconds kCharacterPause{100};

    // `done` (may be null) is signalled as each transaction ends: the "KSerialDone" event.
    explicit SerialTransaction(SerialLine& line, platform::Event* done = nullptr) : line_(line), done_(done) {}

    // Runs one transaction to its end. The time-out counts from the first character sent
    // (or the action); when it passes the transaction ends with status 4 and the bytes
    // received so far.
    SerialOutcome run(const SerialRequest& request);
    // The port's received bytes, one step each.
    void onBytes(std::span<const uint8_t> bytes);

private:
    void step(std::unique_lock<std::mutex>& lock);  // the sending state's step
    void receive(uint8_t byte);
    void end(uint8_t status);

    SerialLine& line_;
    platform::Event* done_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    TransactionState state_ = TransactionState::Idle;
    const SerialRequest* request_ = nullptr;
    size_t sendPosition_ = 0;
    uint8_t expectedEcho_ = 0;
    std::chrono::steady_clock::time_point sendAt_{};
    uint32_t received_ = 0;
    size_t match_ = 0;
    bool ended_ = true;
    SerialOutcome outcome_;
};

}  // namespace vexal::serial
