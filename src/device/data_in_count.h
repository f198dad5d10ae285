#pragma once
// How many data-in bytes a device is known to have sent. Transports hand back a buffer
// that may hold more than the device sent: the kernel's SG_IO reports a residual of 0 on
// CHECK CONDITION and leaves its reserve buffer (the previous command's data) in the
// caller's buffer, and an iSCSI target may send bytes of its own with a failed command.
// The rule:
// - GOOD: the transfer length less the residual;
// - CHECK CONDITION of a READ that ends with ILI, a filemark or EOM and a VALID
//   INFORMATION field: the count the residue in that field leaves, never more than the
//   residual allows;
// - anything else: nothing.
#include <cstdint>
#include <span>

namespace vexal::device {

// The part of a request block's outcome the rule reads.
struct CommandEnd {
    uint8_t srbStatus = 0;
    uint8_t hostAdapterStatus = 0;
    uint8_t targetStatus = 0;
    uint32_t bufferLength = 0;
    uint32_t residual = 0;
    std::span<const uint8_t> cdb;
    std::span<const uint8_t> sense;  // only the bytes the device returned
};

uint32_t knownTransferred(const CommandEnd& end);

}  // namespace vexal::device
