#pragma once
#include <atomic>
#include <optional>

#include "app/operator.h"
#include "command/command_request.h"
#include "command/scsi_device.h"

namespace vexal::command {

// Runs the command of `request` on `device`; nullopt when the code has no command.
std::optional<ScsiResult> DispatchCommand(CScsiDevice& device, CommandRequest& request, std::atomic<long>& counter,
                                          std::atomic<int>& abort, app::Operator& op);

}  // namespace vexal::command
