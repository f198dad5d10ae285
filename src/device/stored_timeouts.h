#pragma once
// The command time-out an operator set for a drive, kept in the profile so that later runs
// find it and use it from the moment the drive is opened. It is kept per drive, by its
// identity (vendor, product and unit serial number; the address when the drive gave no
// serial number), so it follows the drive rather than its place on the bus.
#include <optional>
#include <string>

#include "device/bus_scan.h"

namespace vexal::device {

inline constexpr const char* kTimeoutSection = "Command Timeouts";

// The profile key of the drive: its identity with every character but letters, digits,
// '.', '-' and ':' turned into '_'.
std::string timeoutKey(const DeviceEntry& entry);
// The time-out kept for the drive, in seconds; none when none was kept.
std::optional<int> storedTimeout(const DeviceEntry& entry);
// Keeps `seconds` for the drive; false when the profile cannot be written.
bool storeTimeout(const DeviceEntry& entry, int seconds);
// Gives every scanned device the time-out kept for it; returns how many got one.
int applyStoredTimeouts(const BusScanner& scanner);

}  // namespace vexal::device
