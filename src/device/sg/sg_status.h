#pragma once
// Between a request block and the sg v3 header: building the header for an execute
// block, and mapping the kernel's host, driver and SCSI statuses back onto the block's
// statuses the way a host adapter manager reports them. Pure functions, so the whole
// mapping can be checked without a device.
#include <scsi/sg.h>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string_view>

#include "device/request_block.h"

namespace vexal::device::sg {

// Host statuses of the Linux SCSI midlayer (the DID_* values of the kernel).
namespace did {
inline constexpr uint16_t Ok = 0x00;
inline constexpr uint16_t NoConnect = 0x01;
inline constexpr uint16_t BusBusy = 0x02;
inline constexpr uint16_t TimeOut = 0x03;
inline constexpr uint16_t BadTarget = 0x04;
inline constexpr uint16_t Abort = 0x05;
inline constexpr uint16_t Parity = 0x06;
inline constexpr uint16_t Error = 0x07;
inline constexpr uint16_t Reset = 0x08;
inline constexpr uint16_t BadIntr = 0x09;
inline constexpr uint16_t Passthrough = 0x0A;
inline constexpr uint16_t SoftError = 0x0B;
inline constexpr uint16_t ImmRetry = 0x0C;
inline constexpr uint16_t Requeue = 0x0D;
inline constexpr uint16_t TransportDisrupted = 0x0E;
inline constexpr uint16_t TransportFailfast = 0x0F;
inline constexpr uint16_t TargetFailure = 0x10;
inline constexpr uint16_t NexusFailure = 0x11;
inline constexpr uint16_t AllocFailure = 0x12;
inline constexpr uint16_t MediumError = 0x13;
inline constexpr uint16_t TransportMarginal = 0x14;
}  // namespace did

// Driver statuses (low nibble of driver_status; the high nibble holds obsolete
// suggestions and is ignored).
namespace driver {
inline constexpr uint16_t Ok = 0x00;
inline constexpr uint16_t Busy = 0x01;
inline constexpr uint16_t Soft = 0x02;
inline constexpr uint16_t Media = 0x03;
inline constexpr uint16_t Error = 0x04;
inline constexpr uint16_t Invalid = 0x05;
inline constexpr uint16_t Timeout = 0x06;
inline constexpr uint16_t Hard = 0x07;
inline constexpr uint16_t Sense = 0x08;
inline constexpr uint16_t Mask = 0x0F;
}  // namespace driver

// What a kernel status means for the block.
enum class SgOutcome : uint8_t {
    ByTargetStatus,  // the transport is fine: the SCSI status byte decides
    TargetFailure,   // the target failed the command: Error even when the status byte is GOOD
    HostFault,       // Error with the host-adapter status of the entry
    Aborted,         // the command was aborted: status Aborted
    Invalid,         // the driver refused the request: InvalidSrb
};

struct SgStatusRule {
    uint16_t code;
    std::string_view name;
    SgOutcome outcome;
    uint8_t hostAdapterStatus;  // for HostFault
};

// Host statuses. Retryable conditions map to 9 (time-out), which the device library's
// wait loop treats as an adapter that timed out: it sends the command again only when the
// command reads state (resend_policy.h), since it may have been carried out; a target
// that cannot be reached maps to 17 (selection time-out), as an unanswered selection
// does on a parallel bus.
inline constexpr SgStatusRule kHostStatusRules[] = {
    {did::Ok, "DID_OK", SgOutcome::ByTargetStatus, ha_status::Ok},
    {did::NoConnect, "DID_NO_CONNECT", SgOutcome::HostFault, ha_status::SelectionTimeout},
    // The bus stayed busy for the whole time-out: transient, so retried.
    {did::BusBusy, "DID_BUS_BUSY", SgOutcome::HostFault, ha_status::Timeout},
    {did::TimeOut, "DID_TIME_OUT", SgOutcome::HostFault, ha_status::CommandTimeout},
    {did::BadTarget, "DID_BAD_TARGET", SgOutcome::HostFault, ha_status::SelectionTimeout},
    {did::Abort, "DID_ABORT", SgOutcome::Aborted, ha_status::Ok},
    {did::Parity, "DID_PARITY", SgOutcome::HostFault, ha_status::ParityError},
    // An internal adapter or driver failure in mid-command: not worth resending, so the
    // hard transport fault that the device library fails at once.
    {did::Error, "DID_ERROR", SgOutcome::HostFault, ha_status::PhaseError},
    {did::Reset, "DID_RESET", SgOutcome::HostFault, ha_status::BusReset},
    {did::BadIntr, "DID_BAD_INTR", SgOutcome::HostFault, ha_status::PhaseError},
    // Only used inside the midlayer to bypass its checks; the target's status stands.
    {did::Passthrough, "DID_PASSTHROUGH", SgOutcome::ByTargetStatus, ha_status::Ok},
    {did::SoftError, "DID_SOFT_ERROR", SgOutcome::HostFault, ha_status::Timeout},
    {did::ImmRetry, "DID_IMM_RETRY", SgOutcome::HostFault, ha_status::Timeout},
    {did::Requeue, "DID_REQUEUE", SgOutcome::HostFault, ha_status::Timeout},
    {did::TransportDisrupted, "DID_TRANSPORT_DISRUPTED", SgOutcome::HostFault, ha_status::Timeout},
    // The transport class gave up on the path (e.g. the remote port is gone).
    {did::TransportFailfast, "DID_TRANSPORT_FAILFAST", SgOutcome::HostFault, ha_status::SelectionTimeout},
    // The target answered and failed the command; its status byte and sense tell why.
    {did::TargetFailure, "DID_TARGET_FAILURE", SgOutcome::TargetFailure, ha_status::Ok},
    {did::NexusFailure, "DID_NEXUS_FAILURE", SgOutcome::TargetFailure, ha_status::Ok},
    {did::AllocFailure, "DID_ALLOC_FAILURE", SgOutcome::TargetFailure, ha_status::Ok},
    {did::MediumError, "DID_MEDIUM_ERROR", SgOutcome::TargetFailure, ha_status::Ok},
    {did::TransportMarginal, "DID_TRANSPORT_MARGINAL", SgOutcome::HostFault, ha_status::Timeout},
};
// A host status the table does not know: a transport fault, not retried.
inline constexpr SgStatusRule kUnknownHostStatus{0xFFFF, "unknown host status", SgOutcome::HostFault,
                                                 ha_status::PhaseError};

// Driver statuses (only consulted when the host status leaves it to the target).
inline constexpr SgStatusRule kDriverStatusRules[] = {
    {driver::Ok, "DRIVER_OK", SgOutcome::ByTargetStatus, ha_status::Ok},
    {driver::Busy, "DRIVER_BUSY", SgOutcome::HostFault, ha_status::Timeout},
    {driver::Soft, "DRIVER_SOFT", SgOutcome::HostFault, ha_status::Timeout},
    {driver::Media, "DRIVER_MEDIA", SgOutcome::HostFault, ha_status::PhaseError},
    {driver::Error, "DRIVER_ERROR", SgOutcome::HostFault, ha_status::PhaseError},
    {driver::Invalid, "DRIVER_INVALID", SgOutcome::Invalid, ha_status::Ok},
    {driver::Timeout, "DRIVER_TIMEOUT", SgOutcome::HostFault, ha_status::CommandTimeout},
    {driver::Hard, "DRIVER_HARD", SgOutcome::HostFault, ha_status::PhaseError},
    // Sense bytes are present; not a fault in itself.
    {driver::Sense, "DRIVER_SENSE", SgOutcome::ByTargetStatus, ha_status::Ok},
};
inline constexpr SgStatusRule kUnknownDriverStatus{0xFFFF, "unknown driver status", SgOutcome::HostFault,
                                                   ha_status::PhaseError};

const SgStatusRule& hostStatusRule(uint16_t hostStatus);
const SgStatusRule& driverStatusRule(uint16_t driverStatus);

// A tape drive's long erase or format can take hours: the default leaves room for them.
inline constexpr uint32_t kDefaultTimeoutSeconds = 108000;
// The largest time-out whose milliseconds fit the header's unsigned field.
inline constexpr uint32_t kMaxTimeoutSeconds = std::numeric_limits<unsigned int>::max() / 1000;
inline constexpr unsigned int timeoutMilliseconds(uint32_t seconds) {
    return static_cast<unsigned int>(uint64_t{seconds < kMaxTimeoutSeconds ? seconds : kMaxTimeoutSeconds} *
                                     1000);
}

// Fills `hdr` for an execute block. `sense` receives the sense bytes (its size bounds
// mx_sb_len together with the room the block asks for). False when the block cannot be
// carried out (no CDB, a CDB longer than 16 bytes, data both ways, no buffer for data).
bool buildSgHeader(RequestBlock& srb, uint32_t timeoutSeconds, std::span<uint8_t> sense, sg_io_hdr& hdr);

// Maps a finished SG_IO onto the block: status, host-adapter status, target status,
// sense bytes and residual. Sets the status last, so a thread watching it sees the other
// fields filled. `sense` holds the bytes the kernel wrote (at most sb_len_wr are used).
void applySgResult(const sg_io_hdr& hdr, std::span<const uint8_t> sense, RequestBlock& srb);

}  // namespace vexal::device::sg
