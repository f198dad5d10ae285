#pragma once
// The request block every transport carries out. The device library speaks only this
// language; each back end fills status, host-adapter status, target status and sense
// as a host adapter manager would.
#include <array>
#include <atomic>
#include <cstdint>

namespace vexal::platform { class Event; }

namespace vexal::device {

enum class SrbCommand : uint8_t {
    HostAdapterInquiry = 0,
    GetDeviceType = 1,
    ExecuteScsi = 2,
    Abort = 3,
    ResetDevice = 4,
    RescanBus = 7,
    Timeouts = 8,
    // Not a host adapter manager's command: ends the caller's wait for the execute block
    // `toAbort` at once (Aborted), whether or not the device has let go of the command;
    // the transport forgets the command and whatever still points at its buffer.
    Abandon = 0x20,
};

namespace srb_status {
inline constexpr uint8_t Pending = 0x00;
inline constexpr uint8_t Complete = 0x01;
inline constexpr uint8_t Aborted = 0x02;
inline constexpr uint8_t AbortFailed = 0x03;
inline constexpr uint8_t Error = 0x04;
inline constexpr uint8_t InvalidCommand = 0x80;
inline constexpr uint8_t InvalidHostAdapter = 0x81;
inline constexpr uint8_t NoDevice = 0x82;
inline constexpr uint8_t InvalidSrb = 0xE0;
inline constexpr uint8_t OldManager = 0xE1;
inline constexpr uint8_t ManagerBusy = 0xE6;
}  // namespace srb_status

namespace srb_flags {
inline constexpr uint8_t DataIn = 0x08;
inline constexpr uint8_t DataOut = 0x10;
inline constexpr uint8_t EventNotify = 0x40;
}  // namespace srb_flags

// Host-adapter statuses; the device library keeps them as its last error codes.
namespace ha_status {
inline constexpr uint8_t Ok = 0;
inline constexpr uint8_t Timeout = 9;
inline constexpr uint8_t CommandTimeout = 11;
inline constexpr uint8_t MessageReject = 13;
inline constexpr uint8_t BusReset = 14;
inline constexpr uint8_t ParityError = 15;
inline constexpr uint8_t RequestSenseFailed = 16;
inline constexpr uint8_t SelectionTimeout = 17;
inline constexpr uint8_t UnexpectedBusFree = 19;
inline constexpr uint8_t PhaseError = 20;
}  // namespace ha_status

namespace target_status {
inline constexpr uint8_t Good = 0x00;
inline constexpr uint8_t CheckCondition = 0x02;
inline constexpr uint8_t ConditionMet = 0x04;
inline constexpr uint8_t Busy = 0x08;
inline constexpr uint8_t ReservationConflict = 0x18;
inline constexpr uint8_t TaskSetFull = 0x28;
inline constexpr uint8_t AcaActive = 0x30;
inline constexpr uint8_t TaskAborted = 0x40;
}  // namespace target_status

// Sense bytes a request keeps; more are cut.
inline constexpr size_t kMaxSense = 64;

struct RequestBlock {
    SrbCommand command = SrbCommand::ExecuteScsi;
    std::atomic<uint8_t> status{srb_status::Pending};
    uint8_t hostAdapter = 0;
    uint8_t flags = 0;

    // Execute
    uint8_t target = 0;
    uint8_t lun = 0;
    uint32_t bufferLength = 0;
    uint8_t* buffer = nullptr;
    uint8_t senseLength = 0;        // in: room asked for; out: bytes the device returned
    uint8_t cdbLength = 0;
    uint8_t hostAdapterStatus = ha_status::Ok;
    uint8_t targetStatus = target_status::Good;
    platform::Event* post = nullptr;  // set on completion when flags has EventNotify
    std::array<uint8_t, 16> cdb{};
    std::array<uint8_t, kMaxSense> senseArea{};
    uint32_t residual = 0;          // out: bytes of the data phase not transferred, when known
    int systemError = 0;            // out: the errno when the pass-through itself failed

    // Host adapter inquiry
    uint8_t adapterCount = 0;
    uint8_t maxTargets = 0;
    // Get device type
    uint8_t deviceType = 0;
    // Abort, Abandon
    RequestBlock* toAbort = nullptr;
    // Get/set time-out (seconds)
    uint32_t timeoutSeconds = 0;

    // Clears every field for reuse (the atomic status cannot be copied).
    void clear() {
        command = SrbCommand::ExecuteScsi;
        status.store(srb_status::Pending);
        hostAdapter = flags = target = lun = 0;
        bufferLength = 0;
        buffer = nullptr;
        senseLength = cdbLength = 0;
        hostAdapterStatus = ha_status::Ok;
        targetStatus = target_status::Good;
        post = nullptr;
        cdb.fill(0);
        senseArea.fill(0);
        residual = 0;
        systemError = 0;
        adapterCount = maxTargets = deviceType = 0;
        toAbort = nullptr;
        timeoutSeconds = 0;
    }
};

}  // namespace vexal::device
