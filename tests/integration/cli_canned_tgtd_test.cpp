// The canned tests, the tape log and the structure views through vexal-cli against a real
// iSCSI tape target (tgtd), which has no log pages, trace memory or structure buffers: the
// tests complete and say what they skipped.
#include <gtest/gtest.h>

#include <regex>

#include "integration/tgtd_suite.h"
#include "integration/watchdog.h"
#include "support/process_runner.h"
#include "support/test_root.h"

using vexal::testing::runProcess;

namespace {

class CliCannedTgtdTest : public vexal::testing::TgtdSuite {
protected:

    vexal::testing::ProcessResult cli(std::vector<std::string> args) {
        std::vector<std::string> full{"VEXAL_PASSPHRASE=Korvane-Eng42", VEXAL_CLI_PATH, "--portal", server->portal(),
                                      "--color", "never", "--engineering", "--device", "0:0:1"};
        full.insert(full.end(), args.begin(), args.end());
        return runProcess("/usr/bin/env", full, 120);
    }
    static size_t count(const std::string& text, const std::string& pattern) {
        const std::regex re(pattern, std::regex::multiline);
        return static_cast<size_t>(std::distance(std::sregex_iterator(text.begin(), text.end(), re), {}));
    }

    vexal::testing::TempRoot root;
    vexal::testing::Watchdog watchdog{std::chrono::seconds(300), "a canned test against tgtd"};
};

TEST_F(CliCannedTgtdTest, EveryCannedTestCompletesAndSaysTheLogCountersWereNotReset) {
    const struct {
        std::vector<std::string> args;
        const char* summary;
        const char* end;
        bool resetsLogCounters;
    } runs[] = {
        {{"test", "write-read", "--count", "8", "--repeat", "2"}, "^  Completed Test Repeat Count: 2$",
         R"(^\[Write/Read Canned Test -- Complete\]$)", true},
        {{"test", "1", "--count", "8", "--repeat", "2", "--fixed", "--transfer-length", "8"},
         "^  Completed Test Repeat Count: 2$", R"(^\[FLDR_TEST1_END )", true},
        {{"test", "2", "--count", "4", "--repeat", "2"}, "^  Completed Test Repeat Count: 2$",
         R"(^\[FLDR_TEST2_END )", false},
        {{"test", "3", "--count", "16", "--repeat", "3", "--transfer-length", "2048"},
         "^  Completed Test Repeat Count: 3$", R"(^\[FLDR_TEST3_END )", false},
        {{"test", "4", "--min", "4", "--max", "64", "--step", "20"}, "^  Block Size: 64$", R"(^\[FLDR_TEST4_END )",
         true},
    };
    for (const auto& run : runs) {
        // Tests 3 and 4 locate blocks, which tgtd cannot: they say so and space to them.
        const bool locates = run.args[1] == "3" || run.args[1] == "4";
        SCOPED_TRACE(run.args[1]);
        const auto r = cli(run.args);
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
        EXPECT_EQ(count(r.out, run.summary), 1u) << r.out;
        EXPECT_EQ(count(r.out, run.end), 1u);
        EXPECT_EQ(count(r.out, "Compare_Error|INTR_ERROR|Write error|Read error"), 0u) << r.out;
        // tgtd has no log pages: the first reset is refused, then skipped with one line.
        EXPECT_EQ(count(r.out, R"(^  \[Log counters not reset: the drive does not accept LOG SELECT\]$)"),
                  run.resetsLogCounters ? 1u : 0u)
            << r.out;
        EXPECT_EQ(count(r.out, R"(^  \[LOCATE not supported: the block is reached with REWIND and SPACE\]$)"),
                  locates ? 1u : 0u);
    }
}

TEST_F(CliCannedTgtdTest, TapeLogIsWrittenAndReadBack) {
    auto r = cli({"--yes", "tape-log", "write", "--label", "TGT-LABEL"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    r = cli({"tape-log", "read"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(count(r.out, "^   Tape Label: TGT-LABEL$"), 1u) << r.out;
}

TEST_F(CliCannedTgtdTest, StructuresAndTraceThatTheTargetLacksFailCleanly) {
    auto r = cli({"read-structure", "header"});
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    EXPECT_EQ(count(r.out, "Header Frame Data"), 0u);
    r = cli({"debug-trace"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(count(r.out, R"(^\[INTR_ERROR: Unable to create debug trace log\.\]$)"), 1u) << r.out;
}

}  // namespace
