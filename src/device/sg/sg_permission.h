#pragma once
// What the scan tells a user who may not open an sg node: the node, what it is, and how
// to get access (the group that owns the node, or the udev rule the package installs).
#include <filesystem>
#include <string>

#include "device/sg/sg_sysfs.h"

namespace vexal::device::sg {

// The udev rule shipped with the program (installed below lib/udev/rules.d).
inline constexpr const char* kUdevRuleName = "60-vexal.rules";

// True for the errors that mean "no permission" rather than "no device".
bool isPermissionError(int error);

// The name of the group that owns `node` (following links); empty when it cannot be told.
std::string nodeGroup(const std::filesystem::path& node);

// One sentence for a node that exists but cannot be opened for lack of permission, e.g.
// "/dev/sg3 (Sequential-Access Device KORVANE SKTX at 0:0:2:0) exists but cannot be
// opened: permission denied.  Add your user to the group 'tape' that owns it ...".
std::string permissionAdvice(const std::filesystem::path& node, const GenericDevice& device,
                             const std::string& group);

}  // namespace vexal::device::sg
