// vexal-cli run: the example scripts on the virtual drive and on tgtd, exit statuses for
// load and run-time errors, the test frames around each iteration.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "integration/tgtd_suite.h"
#include "integration/watchdog.h"
#include "support/fingerprinted_script.h"
#include "support/process_runner.h"
#include "support/test_root.h"

using vexal::testing::runProcess;

namespace {

namespace fs = std::filesystem;

// The example scripts as the build ships them, with their fingerprints: they run in
// customer mode with no pass phrase remembered.
const fs::path kExamples = VEXAL_EXAMPLES_DIR;

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

class CliRunTest : public ::testing::Test {
protected:
    vexal::testing::ProcessResult cli(std::vector<std::string> args) {
        std::vector<std::string> full{"--virtual", "--color", "never"};
        full.insert(full.end(), args.begin(), args.end());
        return runProcess(VEXAL_CLI_PATH, full, 120);
    }
    std::string script(const std::string& name, const std::string& text) {
        return vexal::testing::writeFingerprintedScript(root.path() / name, text).string();
    }
    vexal::testing::TempRoot root;
    vexal::testing::Watchdog watchdog{std::chrono::seconds(300), "a script run"};
};

TEST_F(CliRunTest, ExampleScriptsRunGreenOnTheVirtualDrive) {
    struct Case {
        const char* file;
        const char* line;  // a line the script shows when it ran as intended
    };
    const Case cases[] = {
        {"DRIVE_IDENTITY.SCS", "The drive reports a unit serial number page."},
        {"WRITE_READ_COMPARE.SCS", "100 blocks written then read back and compared with no differences."},
        {"SENSE_HANDLING.SCS", "BLANK CHECK seen where the recorded data ends."},
    };
    for (const Case& c : cases) {
        const auto r = cli({"run", (kExamples / c.file).string()});
        EXPECT_EQ(r.exitCode, 0) << c.file << "\n" << r.out << r.err;
        EXPECT_NE(r.out.find(c.line), std::string::npos) << c.file << "\n" << r.out;
        EXPECT_EQ(count(r.out, "[Vexal_Starting_Script on "), 1u) << r.out;
        EXPECT_EQ(count(r.out, "[Vexal_Ending_Script on "), 1u) << r.out;
        EXPECT_NE(r.out.find(std::string(" Test Name: ") + fs::path(c.file).stem().string()), std::string::npos);
    }
    // The identity lines reach the screen without their script-message prefix.
    const auto identity = cli({"run", (kExamples / "DRIVE_IDENTITY.SCS").string()});
    EXPECT_NE(identity.out.find("\n   Device Type: Tape\n"), std::string::npos) << identity.out;
}

TEST_F(CliRunTest, IterationsRepeatTheFramesAndTheScript) {
    const auto r = cli({"run", "--iterations", "3",
                        script("COUNT.SCS", "DESCRIPTION count\nStart:\nMSG one pass\n")});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(count(r.out, "one pass"), 3u);
    EXPECT_NE(r.out.find(" 3of3]"), std::string::npos) << r.out;
}

TEST_F(CliRunTest, LoadAndRunTimeErrorsExitWithOne) {
    // A load error: nothing runs.
    auto r = cli({"run", script("BAD.SCS", "DESCRIPTION bad\nStart:\nJUMP Nowhere\nMSG never\n")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.find("never"), std::string::npos);
    // A run-time error: with --yes the trail is shown.
    r = cli({"--yes", "run", script("RUNTIME.SCS", "DESCRIPTION rt\nBYTE b = 1\nStart:\nMSG before\nb /= 0\nMSG after\n")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("before"), std::string::npos);
    EXPECT_EQ(r.out.find("after"), std::string::npos);
    EXPECT_NE((r.out + r.err).find("There are test run-time errors, do you want to view them?"), std::string::npos);
    EXPECT_NE((r.out + r.err).find("EXE_UNABLE_TO_PROCESS_VARIABLE"), std::string::npos) << r.out << r.err;
    // A script that is not there is a usage error.
    EXPECT_EQ(cli({"run", (root.path() / "MISSING.SCS").string()}).exitCode, 2);
}

TEST_F(CliRunTest, SuppressDialogsIsVisibleToTheScript) {
    const std::string text =
        "DESCRIPTION quiet\nBYTE q = 0\nStart:\nGETSUPPRESSSTATUS q\nIF q == 1 JUMP Quiet\nMSG dialogs on\nEXIT 0\n"
        "Quiet:\nMSG dialogs off\n";
    EXPECT_NE(cli({"run", "--suppress-dialogs", script("Q.SCS", text)}).out.find("dialogs off"), std::string::npos);
    EXPECT_NE(cli({"run", script("Q.SCS", text)}).out.find("dialogs on"), std::string::npos);
}

TEST_F(CliRunTest, StepModeRunsOneStatementPerLineOfInput) {
    const std::string path = script("STEP.SCS", "DESCRIPTION step\nStart:\nMSG first\nMSG second\nMSG third\n");
    // Three lines release DESCRIPTION and the first two messages; the end of input stops.
    const auto r = runProcess("/bin/sh", {"-c", std::string("printf '\\n\\n\\n' | VEXAL_PASSPHRASE=Korvane-Eng42 ") +
                                                    VEXAL_CLI_PATH + " --virtual --engineering --color never run --step " +
                                                    path},
                              60);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("second"), std::string::npos) << r.out;
    EXPECT_EQ(count(r.out, "third"), 1u) << "shown before it runs, never run: " << r.out;
}

TEST_F(CliRunTest, AClosedChartBecomesAnSvgInTheLogsFolder) {
    const auto r = cli({"run", script("CHART.SCS",
                                      "DESCRIPTION chart\nCHART Plot\nCOLOR Red 255 0 0\nWORD x = 0\nStart:\n"
                                      "SETCHARTTITLE Plot \"Throughput\"\nADDCHARTLINE Plot 1 \"MB/s\" Red 0\n"
                                      "OPENCHART Plot\nLoop:\nx += 1\nADDCHARTDATAPOINT Plot 1 x x\n"
                                      "IF x < 10 JUMP Loop\nCLOSECHART Plot\n")});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const std::smatch m = [&] {
        std::smatch found;
        std::regex_search(r.out, found, std::regex("Chart Plot written to (\\S+\\.svg)"));
        return found;
    }();
    ASSERT_FALSE(m.empty()) << r.out;
    const fs::path svg = m[1].str();
    EXPECT_EQ(svg.parent_path().filename(), "Logs");
    std::ifstream in(svg);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("<svg"), std::string::npos);
    EXPECT_NE(text.find("Throughput"), std::string::npos);
}

class CliRunTgtdTest : public vexal::testing::TgtdSuite {
protected:
    vexal::testing::TempRoot root;
    vexal::testing::Watchdog watchdog{std::chrono::seconds(180), "a script run against tgtd"};
};

TEST_F(CliRunTgtdTest, WriteReadCompareExamplePassesOnTgtd) {
    const auto r = runProcess(VEXAL_CLI_PATH,
                              {"--portal", server->portal(), "--device", "0:1:1", "--color", "never", "run",
                               (kExamples / "WRITE_READ_COMPARE.SCS").string()},
                              120);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("100 blocks written then read back and compared with no differences."), std::string::npos) << r.out;
}

}  // namespace
