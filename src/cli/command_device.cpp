// The single commands that go through the document: every frame line reaches the
// terminal as the view shows it.
#include <iostream>

#include <fmt/format.h>

#include "cli/cli_session.h"
#include "cli/commands.h"
#include "command/data_pattern.h"

namespace vexal::cli {
namespace {

// The largest transfer one READ or WRITE command may move.
constexpr uint64_t kMaxTransfer = 65536;

int finishCommand(CliSession& session, command::ScsiResult result, bool compareFailed = false) {
    const auto& device = session.doc().device();
    // In customer mode the frame writes no status line: say how it ended.
    if (!session.app().engineeringMode) std::cout << "Status: " << device.status.lastStatus << "\n";
    return session.finish(result != 0 || compareFailed ? kExitFailed : kExitDone);
}

}  // namespace

int runDeviceCommand(CliContext& context, const DeviceCommand& command) {
    CliSession session(context);
    if (const int rc = session.open(); rc != kExitDone) return session.finish(rc);
    auto& request = session.doc().request();
    request = command::CommandRequest{};
    request.code = command.code;
    request.vpd = command.vpd;
    request.immediate = command.immediate;
    request.filemarks = command.filemarks;
    if (command.code == command::code::Read || command.code == command::code::Write) {
        const auto& t = command.transfer;
        if (!command::parsePatternName(t.pattern, request.dataPattern)) {
            std::cerr << "Unknown pattern '" << t.pattern << "': use incr, word, zeros, random, nocompare or blocknum.\n";
            return session.finish(kExitUsage);
        }
        const uint64_t total = t.fixed ? uint64_t{t.transferLength} * t.blockSize : t.transferLength;
        if (total == 0 || t.transferLength > 0xFFFFFF || t.blockSize > 0xFFFFFF) {
            std::cerr << "Data transfers must be between 1 and 64K bytes.\n";
            return session.finish(kExitUsage);
        }
        if (total > kMaxTransfer) {
            std::cerr << "Data transfers over 64K bytes are not available yet.\n";
            return session.finish(kExitUsage);
        }
        if (t.count < 0) {
            std::cerr << "--count takes 0 (to the end of medium) or more.\n";
            return session.finish(kExitUsage);
        }
        request.fixed = t.fixed;
        request.sili = t.sili;
        request.blockSize = t.blockSize;
        request.transferLength = t.transferLength;
        request.count = t.count;
        request.compare = t.compare && request.dataPattern != command::pattern::NoCompare;
    }
    const command::ScsiResult result = session.run();
    return finishCommand(session, result, session.doc().device().compareErrors > 0);
}

}  // namespace vexal::cli
