// Every command answers --help with its usage and options; both programs tell the version
// CMake gives the project; a script is found by its bare name in the data folder's Scripts/,
// which starts as a copy of the shipped scripts.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <set>
#include <sstream>

#include "support/fingerprinted_script.h"
#include "support/process_runner.h"
#include "support/test_root.h"

using vexal::testing::runProcess;

namespace {

// Every command of vexal-cli; the ones --help lists are checked too, so a new command
// without help does not slip through.
const char* const kCommands[] = {
    "scan", "select", "cdb", "tur", "request-sense", "inquiry", "rewind", "load", "unload", "retension",
    "write-filemarks", "read", "write", "read-block-limits", "read-position", "space", "locate", "mode-sense",
    "mode-select", "set-block-size", "compression", "verify", "erase", "read-buffer", "write-buffer",
    "format", "send-diagnostic", "receive-diagnostic", "prevent", "allow", "reserve", "release", "init-element-status",
    "log-select", "bus-reset", "timeout", "test", "tape-log", "read-structure", "debug-trace", "log-sense",
    "tape-alerts", "mam", "eeprom", "load-count-threshold", "fadump", "fadump-view", "firmware", "fup-tape", "run",
    "check", "fingerprint", "mode", "settings", "serial-port", "ready", "send-log", "send-view", "view",
};

// The command names of the SUBCOMMANDS section of `vexal-cli --help`.
std::set<std::string> listedCommands(const std::string& help) {
    std::set<std::string> names;
    std::istringstream in(help);
    std::string line;
    bool inList = false;
    while (std::getline(in, line)) {
        if (line.rfind("Subcommands:", 0) == 0 || line.rfind("SUBCOMMANDS:", 0) == 0) {
            inList = true;
            continue;
        }
        if (!inList || line.empty() || line[0] != ' ') continue;
        std::istringstream words(line);
        std::string name;
        words >> name;
        if (!name.empty()) names.insert(name);
    }
    return names;
}

TEST(CliHelpTest, EveryCommandAnswersHelpWithItsUsage) {
    vexal::testing::TempRoot root;
    const auto top = runProcess(VEXAL_CLI_PATH, {"--help"});
    ASSERT_EQ(top.exitCode, 0) << top.err;
    EXPECT_NE(top.out.find("Usage: "), std::string::npos) << top.out;
    EXPECT_NE(top.out.find("--transport"), std::string::npos);
    EXPECT_NE(top.out.find("/dev/sgN"), std::string::npos) << "--device names its forms";
    const std::set<std::string> listed = listedCommands(top.out);
    std::set<std::string> all(std::begin(kCommands), std::end(kCommands));
    for (const char* c : kCommands) EXPECT_TRUE(listed.count(c)) << c << " is missing from vexal-cli --help";
    all.insert(listed.begin(), listed.end());

    for (const std::string& command : all) {
        const auto r = runProcess(VEXAL_CLI_PATH, {command, "--help"}, 30);
        EXPECT_EQ(r.exitCode, 0) << command << ": " << r.err;
        EXPECT_NE(r.out.find("Usage: "), std::string::npos) << command << ": " << r.out;
        EXPECT_NE(r.out.find(command), std::string::npos) << command << ": " << r.out;
        // A usage line and at least one line that says what the command does.
        EXPECT_GE(std::count(r.out.begin(), r.out.end(), '\n'), 2) << command << ": " << r.out;
        EXPECT_TRUE(r.err.empty()) << command << ": " << r.err;
    }
    const auto scan = runProcess(VEXAL_CLI_PATH, {"scan", "--help"});
    EXPECT_NE(scan.out.find("--rescan"), std::string::npos) << scan.out;
    // The data folder is not made by asking for help.
    EXPECT_FALSE(std::filesystem::exists(root.path() / "data"));
}

TEST(CliHelpTest, BothProgramsPrintTheProjectVersion) {
    vexal::testing::TempRoot root;
    auto r = runProcess(VEXAL_CLI_PATH, {"--version"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, std::string("vexal-cli ") + VEXAL_VERSION + "\n");
#ifdef VEXAL_GUI_PATH
    // No display is needed to ask the desktop program for its version or help.
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    r = runProcess(VEXAL_GUI_PATH, {"--version"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, std::string("vexal ") + VEXAL_VERSION + "\n");
    r = runProcess(VEXAL_GUI_PATH, {"--help"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("--virtual"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("--version"), std::string::npos) << r.out;
#endif
}

// The shipped folder of an installed program, here in a temporary folder.
class ShippedData {
public:
    explicit ShippedData(const std::filesystem::path& folder) {
        ::setenv("VEXAL_SHIPPED_DATA", folder.c_str(), 1);
    }
    ~ShippedData() { ::unsetenv("VEXAL_SHIPPED_DATA"); }
};

TEST(CliHelpTest, ABareScriptNameIsFoundInTheScriptsFolderSeededFromTheShippedOne) {
    vexal::testing::TempRoot root;
    const auto shipped = root.path() / "share";
    std::filesystem::create_directories(shipped / "Scripts");
    vexal::testing::writeFingerprintedScript(shipped / "Scripts/SMOKE.SCS",
                                             "DESCRIPTION Smoke\nStart:\nBYTE b\nb = 1\nEXIT 0\n");
    ShippedData env(shipped);

    // Letter case and the extension are not needed.
    for (const char* name : {"SMOKE.SCS", "smoke.scs", "Smoke"}) {
        const auto r = runProcess(VEXAL_CLI_PATH, {"check", name});
        EXPECT_EQ(r.exitCode, 0) << name << ": " << r.out << r.err;
        EXPECT_NE(r.out.find("Phase 3 Complete."), std::string::npos) << name << ": " << r.out;
    }
    EXPECT_TRUE(std::filesystem::exists(root.path() / "data/Korvane/Vexal/Scripts/SMOKE.SCS"));
    EXPECT_TRUE(std::filesystem::exists(root.path() / "data/Korvane/Vexal/Scripts/SMOKE.FPF"));

    // A name that is nowhere is reported as the user typed it.
    const auto r = runProcess(VEXAL_CLI_PATH, {"check", "NOWHERE.SCS"});
    EXPECT_EQ(r.exitCode, 1);
}

}  // namespace
