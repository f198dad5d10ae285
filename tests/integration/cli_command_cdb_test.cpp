// Each single command of vexal-cli sends exactly its CDB: checked through the virtual
// drive's CDB trace.
#include <gtest/gtest.h>

#include <fstream>

#include "support/process_runner.h"
#include "support/test_root.h"

using vexal::testing::runProcess;

namespace {

std::vector<std::string> traceLines(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(CliCommandCdbTest, EveryCommandSendsItsCdb) {
    vexal::testing::TempRoot root;
    const auto trace = root.path() / "trace.txt";
    const struct {
        std::vector<std::string> args;
        std::string cdb;  // the command's CDB as the trace shows it
    } cases[] = {
        {{"tur"}, "00 00 00 00 00 00"},
        {{"inquiry"}, "12 00 00 00 40 00"},
        {{"inquiry", "--serial"}, "12 01 80 00 40 00"},
        {{"request-sense"}, "03 00 00 00 1D 00"},
        {{"rewind"}, "01 00 00 00 00 00"},
        {{"rewind", "--immediate"}, "01 01 00 00 00 00"},
        {{"load"}, "1B 00 00 00 01 00"},
        {{"retension"}, "1B 00 00 00 03 00"},
        {{"write-filemarks", "2"}, "10 00 00 00 02 00"},
        {{"space", "3", "0"}, "11 03 00 00 00 00"},
        {{"space", "1", "-2"}, "11 01 FF FF FE 00"},
        {{"locate", "1FH"}, "2B 00 00 00 00 00 1F 00 00 00"},
        {{"locate", "300", "--immediate", "--bt"}, "2B 05 00 00 00 01 2C 00 00 00"},
        {{"locate", "5", "--partition", "0", "--immediate"}, "2B 02 00 00 00 00 05 00 00 00"},
        {{"read-block-limits"}, "05 00 00 00 00 00"},
        {{"read-position"}, "34 00 00 00 00 00 00 00 00 00"},
        {{"read-position", "--bt"}, "34 01 00 00 00 00 00 00 00 00"},
        {{"mode-sense", "--page", "15", "--length", "32", "--dbd"}, "1A 08 0F 00 20 00"},
        {{"mode-sense", "--cdb-size", "10", "--pc", "default", "--page", "16", "--length", "300"},
         "5A 00 90 00 00 00 00 01 2C 00"},
        {{"read", "--transfer-length", "512"}, "08 00 00 02 00 00"},
        {{"read", "--fixed", "--sili", "--block-size", "512", "--transfer-length", "2"}, "08 03 00 00 02 00"},
        {{"write", "--transfer-length", "512"}, "0A 00 00 02 00 00"},
        {{"verify", "--fixed", "--length", "4"}, "13 01 00 00 04 00"},
        {{"erase", "--short"}, "19 00 00 00 00 00"},
        {{"--yes", "erase", "--long"}, "19 01 00 00 00 00"},
        {{"read-buffer", "--mode", "2", "--id", "1", "--offset", "16", "--length", "64"},
         "3C 02 01 00 00 10 00 00 40 00"},
        {{"send-diagnostic", "--self-test", "4"}, "1D 04 00 00 00 00"},
        {{"receive-diagnostic", "--length", "32"}, "1C 00 00 00 20 00"},
        {{"prevent"}, "1E 00 00 00 01 00"},
        {{"allow"}, "1E 00 00 00 00 00"},
        {{"reserve"}, "16 00 00 00 00 00"},
        {{"release"}, "17 00 00 00 00 00"},
        {{"log-select", "--reset"}, "4C 02 00 00 00 00 00 00 00 00"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(trace);
        std::vector<std::string> args{"VEXAL_PASSPHRASE=Korvane-Eng42", "VEXAL_VIRTUAL_TRACE=" + trace.string(),
                                      VEXAL_CLI_PATH, "--virtual", "--engineering", "--device", "0"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto r = runProcess("/usr/bin/env", args);
        EXPECT_NE(r.exitCode, 2) << c.args.front() << ": " << r.err;
        const auto lines = traceLines(trace);
        ASSERT_FALSE(lines.empty()) << c.args.front();
        // The last CDB the drive saw is the command's (the scan's INQUIRY and TEST UNIT READY come first).
        EXPECT_EQ(lines.back().substr(0, c.cdb.size()), c.cdb) << c.args.front() << " " << r.out;
    }
    // The changer takes INITIALIZE ELEMENT STATUS.
    std::filesystem::remove(trace);
    const auto r = runProcess("/usr/bin/env", {"VEXAL_PASSPHRASE=Korvane-Eng42", "VEXAL_VIRTUAL_TRACE=" + trace.string(),
                                               VEXAL_CLI_PATH, "--virtual", "--engineering", "--device", "1",
                                               "init-element-status"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(traceLines(trace).back().substr(0, 17), "07 00 00 00 00 00");
}

TEST(CliCommandCdbTest, LocateAddressMessages) {
    vexal::testing::TempRoot root;
    const std::pair<const char*, const char*> cases[] = {
        {"12x", "Error in address field.  Must be entered in hex or integer format."},
        {"1GH", "Incorrect hex format.  Use 'H' notation."},
        {"16777215", "The number you entered is out of bounds."},
        {"FFFFFFH", "The number you entered is out of bounds."},
        {"-1", "The number you entered is out of bounds."},
    };
    for (const auto& [address, message] : cases) {
        const auto r = runProcess("/usr/bin/env", {"VEXAL_PASSPHRASE=Korvane-Eng42", VEXAL_CLI_PATH, "--virtual",
                                                   "--engineering", "--device", "0", "locate", address});
        EXPECT_EQ(r.exitCode, 2) << address;
        EXPECT_NE(r.err.find(message), std::string::npos) << address << ": " << r.err;
    }
}

}  // namespace
