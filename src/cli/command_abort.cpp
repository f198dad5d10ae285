#include "cli/command_abort.h"

#include <iostream>

#include "device/device_library.h"
#include "document/command_abort.h"

namespace vexal::cli {

void CommandAbort::start(const std::function<void()>& also) {
    if (requested_.exchange(true)) return;
    if (also) also();
    doc_.AbortTestConfirmed();
    std::cerr << "Aborting the command in progress (Ctrl+C again ends the program at once).\n";
    const int handle = doc_.device().handle;
    thread_ = std::thread([handle] {
        switch (document::AbortCommandInProgress(handle)) {
        case document::AbortOutcome::Ended: break;
        case document::AbortOutcome::GivenUp: {
            const auto transport = device::DevGetTransport();
            if (transport && transport->name() == "sg")
                std::cerr << "The command was given up: SG_IO cannot be aborted, so the kernel keeps it until the "
                             "device ends it or its time-out passes.\n";
            else
                std::cerr << "The device did not answer the abort: the command was given up.\n";
            break;
        }
        case document::AbortOutcome::Running:
            std::cerr << "The command cannot be aborted here: it ends when the device answers or its time-out "
                         "passes (Ctrl+C again ends the program now).\n";
            break;
        }
    });
}

void CommandAbort::wait() {
    if (thread_.joinable()) thread_.join();
}

}  // namespace vexal::cli
