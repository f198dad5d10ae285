#pragma once
// One device found on a bus: its identity, its request queue and the request block it
// sends through the transport.
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

#include "device/device_address.h"
#include "device/request_block.h"
#include "device/resend_policy.h"
#include "device/scsi_request.h"
#include "device/transport.h"
#include "platform/event.h"

namespace vexal::device {

// Completion codes of PollCompletion and the wait loop.
namespace completion {
inline constexpr int Retry = 2;          // host-adapter time-out: resent when the opcode allows
inline constexpr int UnitAttention = 3;
inline constexpr int Failed = 4;
inline constexpr int Good = 5;
inline constexpr int Outstanding = 6;
inline constexpr int Invalid = 1;
}  // namespace completion

// Last error codes beyond the host-adapter statuses.
namespace last_error {
inline constexpr int None = 0;
inline constexpr int Aborted = 2;
inline constexpr int AbortFailed = 3;
inline constexpr int InvalidRequest = 224;
inline constexpr int OldManager = 225;
inline constexpr int TransportBusy = 230;
}  // namespace last_error

class TransportDevice {
public:
    static constexpr size_t kIdentityLength = 56;
    static constexpr size_t kQueueLength = 5;

    TransportDevice(std::shared_ptr<Transport> transport, int handle);

    int handle() const { return handle_; }

    int GetLastErrorCode() const { return lastError_.load(); }
    void SetLastErrorCode(int code) { lastError_.store(code); }
    void ClearLastErrorCode() { lastError_.store(0); }
    void SetIdentity(uint8_t adapter, uint8_t target, uint8_t lun, const uint8_t* data, size_t length);
    int NoOperation() { return 0; }
    size_t IdentityLength() const { return kIdentityLength; }
    const uint8_t* GetIdentity() const { return identity_.data(); }
    bool RefreshIdentity();
    // set false: read (0 when unavailable); set true: returns the new value, or the
    // previous one when the transport refused the change.
    int Timeout(bool set, int seconds);
    // How a control block ended: its status and, when the pass-through failed, the errno.
    struct ControlOutcome {
        uint8_t status = srb_status::Pending;
        int systemError = 0;
    };
    bool ResetDevice(ControlOutcome* outcome = nullptr);
    // Asks the device to abort the command in progress (another thread waits for it);
    // true when the command has ended.
    bool AbortCommand();
    // Ends the wait for the command in progress without the device's word (see
    // SrbCommand::Abandon); true when the command has ended.
    bool AbandonCommand();
    DeviceAddress GetAddress() const { return address_; }
    void StartNext();
    int PollCompletion();
    void Resend();

    // Queues a request and sends it when nothing is current; false when the queue is full.
    bool Enqueue(ScsiRequest* request);
    // Waits for the current request as the device library's wait loop does; returns the
    // last completion code. A host-adapter time-out is resent only for a command that reads
    // state (resend_policy.h), at most maxRetries times and only within resendWindowMs of
    // the first send.
    int WaitForCompletion();
    // What the last wait did about time-outs.
    const TimeoutReport& timeoutReport() const { return report_; }
    void clearTimeoutReport() { report_ = TimeoutReport{}; }
    // The target status of the last completed execute request.
    uint8_t lastTargetStatus() const { return lastTargetStatus_; }
    // Shortens the wait loop's sleeps and limits for tests of its bounds.
    struct WaitLimits {
        int maxPolls = 108000;
        int maxRetries = 2;  // resends of a command that reads state
        int retrySleepMs = 1000;
        int pollWaitMs = 1000;
        int resendWindowMs = 60000;  // no resend starts later than this after the first send
    };
    void setWaitLimits(const WaitLimits& limits) { limits_ = limits; }

private:
    void fillExecute(const ScsiRequest& request);
    void send(RequestBlock& srb, bool waitIfPending);
    void complete(int code, bool withSense);
    int classify();
    bool sendControl(RequestBlock& srb, int waitMs);

    std::shared_ptr<Transport> transport_;
    int handle_;
    std::atomic<int> lastError_{0};
    DeviceAddress address_;
    std::array<uint8_t, kIdentityLength> identity_{};
    std::atomic<ScsiRequest*> current_{nullptr};
    ScsiRequest* lastCompleted_ = nullptr;
    std::array<ScsiRequest*, kQueueLength> queue_{};
    size_t queueHead_ = 0;
    size_t queueCount_ = 0;
    platform::Event event_{platform::Event::Reset::Auto};
    RequestBlock srb_;
    uint8_t lastTargetStatus_ = 0;
    WaitLimits limits_;
    TimeoutReport report_;
    std::chrono::steady_clock::time_point sentAt_;  // when the current request was first sent
};

}  // namespace vexal::device
