// A command's frame reaches the screen as it is made: with a drive that takes seconds to
// answer, the lines up to the CDB are out before the answer, the rest after it.
#include <gtest/gtest.h>

#include <string>

#include "kernel/kernel_bed.h"

namespace vexal::testing {
namespace {

// Starts the command with its output in a file, waits until `shown` is in it, copies the
// file as it is then to stdout, and waits for the command; its status is the command's.
std::string whileRunning(const std::string& command, const std::string& shown) {
    return "F=$BED/live.txt; " + command + " >$F 2>&1 & pid=$!; i=0; "
           "while ! grep -q '" + shown + "' $F && [ $i -lt 600 ]; do sleep 0.1; i=$((i+1)); done; "
           "cat $F; echo '--- then'; wait $pid; rc=$?; cat $F; exit $rc";
}

TEST(KernelLiveFrameTest, TheFirstLinesShowBeforeASlowDriveAnswers) {
    VEXAL_REQUIRE_KERNEL_BED();
    KernelBed bed;
    BedSetup setup;
    setup.commandTimeoutSeconds = 120;
    // delay is in jiffies (HZ is 100 here): every command but INQUIRY and a few others
    // takes 4 s from now on.
    setup.asRoot = {"echo 400 >/sys/bus/pseudo/drivers/scsi_debug/delay"};
    const struct {
        const char* name;
        std::string command;
        const char* first;  // the last line out before the drive answers
        const char* done;   // a line that comes only with the answer
    } cases[] = {
        {"a menu command", "$VEXAL --engineering --device 0:0:0 tur", " RAW_CDB: 00 00 00 00 00 00",
         "[Vexal_Command_Done on "},
        {"the cdb command", "$VEXAL --engineering --device 0:0:0 cdb '00 00 00 00 00 00'",
         "  CDB: 00 00 00 00 00 00", "[Vexal_Command_Done on "},
    };
    std::vector<std::string> commands;
    for (const auto& c : cases) commands.push_back(whileRunning(c.command, c.first));
    const auto r = bed.run(setup, commands);
    ASSERT_EQ(r.size(), std::size(cases));
    for (size_t i = 0; i < r.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        ASSERT_EQ(r[i].exitCode, 0) << r[i].out << r[i].err << bed.console();
        const std::string& out = r[i].out;
        const size_t then = out.find("--- then\n");
        ASSERT_NE(then, std::string::npos) << out;
        const std::string early = out.substr(0, then);
        const std::string late = out.substr(then);
        EXPECT_NE(early.find("[Vexal_Command_Sent on "), std::string::npos) << early;
        EXPECT_NE(early.find(cases[i].first), std::string::npos) << early;
        EXPECT_EQ(early.find(cases[i].done), std::string::npos) << "printed before the drive answered:\n" << early;
        EXPECT_NE(late.find(cases[i].done), std::string::npos) << late;
        EXPECT_NE(late.find(" [Vexal_CmdStatus: SCSI_GOOD"), std::string::npos) << late;
    }
}

}  // namespace
}  // namespace vexal::testing
