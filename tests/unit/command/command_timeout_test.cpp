// A command that times out at the host adapter: the device library's wait loop resends it
// only when it reads state, then the frame closes with the time-out named in the status
// line and a note on what was done; the wait is bounded by the loop's limits.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "command/status_names.h"
#include "device/device_library.h"
#include "device/transport_device.h"
#include "support/test_root.h"
#include "unit/diag/virtual_drive_session.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

size_t countPrefix(const std::vector<std::string>& lines, std::string_view prefix) {
    size_t n = 0;
    for (const auto& line : lines) n += line.rfind(prefix, 0) == 0;
    return n;
}

// Lines of the virtual drive's CDB trace that begin with `opcode`.
size_t tracedCommands(const std::string& path, std::string_view opcode) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return countPrefix(lines, opcode);
}

TEST(CommandTimeoutTest, ResentWithinTheWaitLimitsThenNamedAsATimeOut) {
    struct Case {
        const char* profile;
        int result;
        const char* name;
        const char* note;  // the line after the failed command's status line; nullptr: none
    } cases[] = {
        // The scan's two INQUIRY commands count: the first TEST UNIT READY is the third.
        {"[target 0]\ntimeout_after = 3\n", 0xAB0B, "SRB_HASTAT_COMMAND_TIMEOUT",
         "   The command was sent 6 times and timed out each time"},
        {"[target 0]\ndisconnect_after = 3\n", 0xAB13, "SRB_HASTAT_UNEXPECTED_BUS_FREE", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.profile);
        vexal::testing::TempRoot root;
        vexal::testing::VirtualDriveSession s(root, c.profile);
        auto* transport = vexal::device::DevTransportDevice(s.device.handle);
        ASSERT_NE(transport, nullptr);
        transport->setWaitLimits({.maxPolls = 1000, .maxRetries = 5, .retrySleepMs = 20, .pollWaitMs = 100});

        vexal::command::ScsiResult result = 0;
        size_t good = 0;
        const auto started = Clock::now();
        for (int i = 0; i < 4 && result == 0; ++i) {
            result = s.device.TestUnitReady();
            good += result == 0;
        }
        const auto took = Clock::now() - started;
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(vexal::command::statusName(result), c.name);
        // Five resends 20 ms apart for a time-out; a bus free is not resent.
        EXPECT_LT(took, 2s);
        ASSERT_FALSE(s.out.view.empty());
        EXPECT_EQ(s.out.view.back().rfind("[Vexal_Command_Done on ", 0), 0u) << s.out.view.back();
        // Every command has its status line; the failed one names the transport's status.
        EXPECT_EQ(countPrefix(s.out.view, " [Vexal_CmdStatus: "), good + 1);
        const size_t last = s.out.view.size() - 1;  // the Command_Done line
        EXPECT_EQ(s.out.view[last - (c.note ? 2 : 1)], std::string(" [Vexal_CmdStatus: ") + c.name);
        if (c.note) EXPECT_EQ(s.out.view[last - 1].rfind(c.note, 0), 0u) << s.out.view[last - 1];

        // The next command fails the same way, and as quickly: nothing is left waiting.
        const auto again = Clock::now();
        EXPECT_EQ(s.device.TestUnitReady(), c.result);
        EXPECT_LT(Clock::now() - again, 2s);
    }
}

TEST(CommandTimeoutTest, ACommandThatMovesTheTapeIsSentOnce) {
    vexal::testing::TempRoot root;
    const std::string trace = (root.path() / "trace.txt").string();
    vexal::testing::VirtualDriveSession s(root, "[target 0]\ntimeout_after = 3\ntrace = " + trace + "\n");
    auto* transport = vexal::device::DevTransportDevice(s.device.handle);
    ASSERT_NE(transport, nullptr);
    // The scan's two INQUIRY commands were the first two: REWIND is the third.
    transport->setWaitLimits({.maxPolls = 1000, .retrySleepMs = 20, .pollWaitMs = 100});

    const auto started = Clock::now();
    EXPECT_EQ(s.device.Rewind(), 0xAB0B);
    EXPECT_LT(Clock::now() - started, 1s);  // no resend, no pause
    const size_t last = s.out.view.size() - 1;
    EXPECT_EQ(s.out.view[last - 2], " [Vexal_CmdStatus: SRB_HASTAT_COMMAND_TIMEOUT");
    EXPECT_EQ(s.out.view[last - 1].rfind("   The command timed out after ", 0), 0u);
    EXPECT_NE(s.out.view[last - 1].find("and was not sent again: it may have moved the tape."), std::string::npos);
    EXPECT_EQ(s.device.status.lastStatus, "SRB_HASTAT_COMMAND_TIMEOUT");
    EXPECT_EQ(tracedCommands(trace, "01 "), 1u);  // REWIND reached the drive once

    // TEST UNIT READY reads state: sent three times.
    EXPECT_EQ(s.device.TestUnitReady(), 0xAB0B);
    EXPECT_EQ(tracedCommands(trace, "00 "), 3u);
}

}  // namespace
