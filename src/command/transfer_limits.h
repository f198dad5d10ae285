#pragma once
// What one READ or WRITE from the command dialogs, the canned tests or the terminal may
// move, and the texts that refuse more; both front ends use these so they say the same.
#include <cstdint>

namespace vexal::command {

inline constexpr uint64_t kMaxOperatorTransfer = 65536;
inline constexpr const char* kTransferRangeText = "Data transfers must be between 1 and 64K bytes.";
inline constexpr const char* kTransferTooLargeText = "Data transfers over 64K bytes are not available yet.";
inline constexpr const char* kLongEraseQuestion = "Long Erase can take many hours.  Click 'OK' to continue.";

}  // namespace vexal::command
