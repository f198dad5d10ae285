#include "document/command_abort.h"

#include "device/device_library.h"

namespace vexal::document {

AbortOutcome AbortCommandInProgress(int handle) {
    if (handle < 0 || device::DevAbort(handle) == 0) return AbortOutcome::Ended;
    return device::DevAbandon(handle) == 0 ? AbortOutcome::GivenUp : AbortOutcome::Running;
}

}  // namespace vexal::document
