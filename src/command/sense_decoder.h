#pragma once
// The status and sense lines written after every command: the status name, and for a
// failed command the sense bytes (dump, error code, sense key, flags, ASC/ASCQ).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "command/command_output.h"
#include "command/last_sense.h"
#include "command/scsi_result.h"
#include "device/resend_policy.h"

namespace vexal::command {

// Sense bytes fetched after a failed command (either layout fits).
inline constexpr size_t kStatusSenseLength = 29;

// What the status lines leave behind for later readers, in every mode.
struct DeviceStatusState {
    std::string lastStatus;  // the status name of the most recent command
    LastSense lastSense;
    // Host-adapter time-outs of the command being logged: the status lines tell what the
    // wait loop did about them, once.
    device::TimeoutReport timeouts;
};

// One sentence on a command that timed out at least once: whether it was sent again and
// how it ended; nothing when it never timed out.
std::optional<std::string> timeoutNote(const device::TimeoutReport& report);

// "No Sense" .. "Miscompare" for the sense key in the low four bits; "Unknown Sense Key"
// for 9, 0x0A, 0x0C and 0x0F.
std::string_view senseKeyWord(uint8_t senseKey);

// The status lines of one command. A non-zero result fetches the sense with
// DevGetStatus(handle, buf, 29); see LogCommandStatusWithSense. Returns the result as
// named, which an ASC/ASCQ pair of the sense may have replaced.
ScsiResult LogCommandStatus(ScsiResult result, int handle, CommandOutput& out, DeviceStatusState& state);

// The same with the sense bytes given (ignored when the result is 0). A non-zero result
// whose sense byte 0 is 0 writes nothing and leaves the state as it was, unless the
// transport failed it (0xAAxx, 0xABxx): that is named in the status line. A time-out
// note (timeoutNote) follows the status line.
ScsiResult LogCommandStatusWithSense(ScsiResult result, std::span<const uint8_t, kStatusSenseLength> sense,
                                     CommandOutput& out, DeviceStatusState& state);

// The RAW_DATA dump of `count` bytes, then the Error Code, Sense Key, Flags and ASC lines;
// stores the key, the flags and ASC/ASCQ into `lastSense`. Fixed and descriptor format
// give the same lines for the same condition. Bytes the buffer does not have read as 0.
void LogSenseData(const uint8_t* sense, size_t count, CommandOutput& out, LastSense& lastSense);

}  // namespace vexal::command
