#pragma once

namespace vexal::cli {

// Exit statuses of vexal-cli.
enum ExitCode : int {
    kExitDone = 0,
    kExitFailed = 1,      // the command, test or script failed
    kExitUsage = 2,
    kExitNoDevice = 3,    // no such device, or not addressable
    kExitTransport = 4,   // transport or environment error
};

}  // namespace vexal::cli
