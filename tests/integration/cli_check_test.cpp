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

}  // namespace
