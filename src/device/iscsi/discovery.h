#pragma once
// SendTargets discovery on one portal.
#include <chrono>
#include <string>
#include <vector>

namespace vexal::device::iscsi {

// Logs in to `portal` (libiscsi form, "host:port") as a discovery session and lists the
// target names in the order the portal gives them. Runs on the calling thread with a
// context of its own and gives up after `limit`. False with `error` set on failure.
bool discoverTargets(const std::string& portal, const std::string& initiator,
                     std::chrono::milliseconds limit, std::vector<std::string>& targets,
                     std::string& error);

}  // namespace vexal::device::iscsi
