// vexal-cli check: a script is loaded (phases 1 to 3) and its trail printed.
#include <gtest/gtest.h>

#include <fstream>

#include "support/fingerprinted_script.h"
#include "support/process_runner.h"
#include "support/test_root.h"

using vexal::testing::runProcess;
using vexal::testing::writeFingerprintedScript;

namespace {

TEST(CliCheckTest, GoodScriptLoadsAndEveryBadLineIsReported) {
    vexal::testing::TempRoot root;
    const auto good = root.path() / "good.scs";
    writeFingerprintedScript(good, "DESCRIPTION Smoke test\nStart:\nBYTE b\nb = 5\nJUMP Done\nDone:\nEXIT 0\n");
    auto r = runProcess(VEXAL_CLI_PATH, {"check", good.string()});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("Phase 1 : Collection..."), std::string::npos);
    EXPECT_NE(r.out.find("Phase 3 Complete."), std::string::npos) << r.out;

    const auto bad = root.path() / "bad.scs";
    writeFingerprintedScript(bad, "DESCRIPTION Bad\nStart:\nJUMP Nowhere\nFROB 1\n");
    r = runProcess(VEXAL_CLI_PATH, {"check", bad.string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("Error In " + bad.string() + " @ Line 3 : Error : JUMP_UNKNOWN_VECTOR_ERROR"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("@ Line 4 : Error : UNRECOGNIZABLE_LINE"), std::string::npos) << r.out;

    r = runProcess(VEXAL_CLI_PATH, {"check", (root.path() / "missing.scs").string()});
    EXPECT_EQ(r.exitCode, 1);
}

TEST(CliCheckTest, DeclarationsListTheFileAndChartObjectsOfAScriptThatLoads) {
    vexal::testing::TempRoot root;
    const struct {
        const char* declarations;
        const char* listing;  // after the trail
    } cases[] = {
        {"FILE Results\nFILE In\nCHART Rate 1 2\n",
         "FILE  Results Mode:  N/A\nFILE  In      Mode:  N/A\n"
         "Chart Tag : Rate\n\tTitle   : \n\tX Title : \n\tY Title : \n\t  Type         : 0\n"
         "\t  Grid Color   : 00000000\n\t  Window Color : 00000000\n\t    X Axis  : 0.000 0.000\n"
         "\t    Y Axis  : 0.000 0.000\n\t    X Scale : 0.000 0.000\n\t    y Scale : 0.000 0.000\n"
         "\t  No Lines Present\n"},
        {"", "*** No Charts Listed ***\n"},
    };
    for (const auto& c : cases) {
        const auto script = root.path() / "listed.scs";
        writeFingerprintedScript(script, std::string("DESCRIPTION Listed\n") + c.declarations + "Start:\nEXIT 0\n");
        auto r = runProcess(VEXAL_CLI_PATH, {"check", "--declarations", script.string()});
        EXPECT_EQ(r.exitCode, 0) << r.out;
        const size_t trailEnd = r.out.find("Phase 3 Complete.\n");
        ASSERT_NE(trailEnd, std::string::npos) << r.out;
        EXPECT_EQ(r.out.substr(trailEnd + 18), c.listing);
        // Without the option only the trail is printed.
        r = runProcess(VEXAL_CLI_PATH, {"check", script.string()});
        EXPECT_EQ(r.out.find("Chart"), std::string::npos) << r.out;
    }
    // A script that does not load lists nothing.
    const auto bad = root.path() / "bad.scs";
    writeFingerprintedScript(bad, "DESCRIPTION Bad\nCHART Rate 1 2\nStart:\nFROB 1\n");
    const auto r = runProcess(VEXAL_CLI_PATH, {"check", "--declarations", bad.string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.find("Chart Tag"), std::string::npos) << r.out;
}

}  // namespace
