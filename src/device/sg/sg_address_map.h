#pragma once
// Places the kernel's H:C:T:L on the device library's (host adapter, target 0..15,
// LUN 0..255). Host adapter = the kernel's host number. A device on channel 0 with a
// target of 0..15 keeps its target; any other (channel, target) pair of a host gets the
// lowest target ID of that host that no device uses, in H:C:T:L order, and all its LUNs
// share that ID. Devices that cannot be placed are reported and left out.
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "device/device_address.h"
#include "device/sg/sg_sysfs.h"

namespace vexal::device::sg {

inline constexpr uint32_t kMaxHostNumber = 254;  // the adapter count must fit a byte
inline constexpr uint32_t kTargetsPerHost = 16;
inline constexpr uint64_t kMaxLun = 255;

// A device on channel 0 with a target of 0..15 keeps its target whatever else is there.
bool keepsItsTarget(const Hctl& hctl);

// One result per device, in the same order; nullopt for a device left out (with a
// sentence in `problems`). `devices` must be sorted by H:C:T:L.
std::vector<std::optional<DeviceAddress>> assignAddresses(std::span<const GenericDevice> devices,
                                                          std::vector<std::string>& problems);

}  // namespace vexal::device::sg
