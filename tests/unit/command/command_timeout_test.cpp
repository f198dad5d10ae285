// A command that times out at the host adapter is resent by the device library's wait
// loop and then ends with the time-out status: the frame closes, the result names the
// time-out, and the wait is bounded by the loop's limits, not longer.
#include <gtest/gtest.h>

#include <chrono>

#include "command/status_names.h"
#include "device/device_library.h"
#include "device/transport_device.h"
#include "support/test_root.h"
#include "unit/diag/virtual_drive_session.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

TEST(CommandTimeoutTest, RetriedWithinTheWaitLimitsThenNamedAsATimeOut) {
    struct Case {
        const char* profile;
        int result;
        const char* name;
    } cases[] = {
        // The scan's commands are not counted here: the session binds without a scan.
        {"[target 0]\ntimeout_after = 3\n", 0xAB0B, "SRB_HASTAT_COMMAND_TIMEOUT"},
        {"[target 0]\ndisconnect_after = 3\n", 0xAB13, "SRB_HASTAT_UNEXPECTED_BUS_FREE"},
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
        // Every command has its status line, the failed one too: without sense data it is
        // named by its transport status.
        size_t statusLines = 0;
        for (const auto& line : s.out.view) statusLines += line.rfind(" [Vexal_CmdStatus: ", 0) == 0;
        EXPECT_EQ(statusLines, good + 1);
        EXPECT_EQ(s.out.view[s.out.view.size() - 2], " [Vexal_CmdStatus: " + std::string(c.name));

        // The next command fails the same way, and as quickly: nothing is left waiting.
        const auto again = Clock::now();
        EXPECT_EQ(s.device.TestUnitReady(), c.result);
        EXPECT_LT(Clock::now() - again, 2s);
    }
}

}  // namespace
