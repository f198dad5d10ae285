#pragma once
#include <atomic>
#include <optional>

#include "operator/operator.h"
#include "command/command_request.h"
#include "command/scsi_device.h"

namespace vexal::document {

// Runs the command of `request` on `device`; nullopt when the code has no command.
std::optional<command::ScsiResult> DispatchCommand(command::CScsiDevice& device, command::CommandRequest& request, std::atomic<long>& counter,
                                          std::atomic<int>& abort, ui::Operator& op);

}  // namespace vexal::document
