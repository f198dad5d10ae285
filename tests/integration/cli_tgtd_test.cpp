// vexal-cli against a real iSCSI target (tgtd): the scan, single commands and frames.
#include <gtest/gtest.h>

#include <regex>
#include <tuple>

#include <nlohmann/json.hpp>

#include "integration/tgtd_suite.h"
#include "integration/watchdog.h"
#include "support/process_runner.h"
#include "support/test_root.h"

using vexal::testing::runProcess;

namespace {

class CliTgtdTest : public vexal::testing::TgtdSuite {
protected:

    vexal::testing::ProcessResult cli(std::vector<std::string> args) {
        // Engineering mode: the commands sent here are the engineering menus' own.
        std::vector<std::string> full{"VEXAL_PASSPHRASE=Korvane-Eng42", VEXAL_CLI_PATH, "--portal", server->portal(),
                                      "--color", "never", "--engineering"};
        full.insert(full.end(), args.begin(), args.end());
        return runProcess("/usr/bin/env", full, 60);
    }

    vexal::testing::TempRoot root;
    vexal::testing::Watchdog watchdog{std::chrono::seconds(120), "a CLI test against tgtd"};
};

TEST_F(CliTgtdTest, ScanListsEveryTargetsLunsWithTheirFamilies) {
    const auto r = cli({"--json", "scan"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto list = nlohmann::json::parse(r.out);
    const struct {
        int target, lun, family;
        const char* type;
        bool addressable;
    } expected[] = {{0, 0, 255, "Unknown", false}, {0, 1, 254, "Tape", true}, {0, 2, 254, "Medium Changer", true},
                    {1, 0, 255, "Unknown", false}, {1, 1, 254, "Tape", true}};
    ASSERT_EQ(list.size(), std::size(expected)) << r.out;
    for (size_t i = 0; i < list.size(); ++i) {
        EXPECT_EQ(list[i]["index"], i);
        EXPECT_EQ(list[i]["hba"], 0);
        EXPECT_EQ(list[i]["target"], expected[i].target);
        EXPECT_EQ(list[i]["lun"], expected[i].lun);
        EXPECT_EQ(list[i]["family"], expected[i].family) << i;
        EXPECT_EQ(list[i]["type"], expected[i].type) << i;
        EXPECT_EQ(list[i]["addressable"], expected[i].addressable) << i;
    }
}

TEST_F(CliTgtdTest, CdbReadsInquiryAndBlankTapeGivesBlankCheck) {
    auto r = cli({"--json", "--device", "0:0:1", "cdb", "12 00 00 00 24 00", "--in", "36"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["target_status"], 0);
    EXPECT_EQ(j["data"].get<std::string>().substr(0, 2), "01");

    ASSERT_EQ(cli({"--device", "0:0:1", "rewind"}).exitCode, 0);
    r = cli({"--json", "--device", "0:0:1", "cdb", "08 00 00 02 00 00", "--in", "512"});
    EXPECT_EQ(r.exitCode, 1);
    j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["result"], 1);
    EXPECT_EQ(j["target_status"], 2);
    const std::string sense = j["sense"];
    ASSERT_GE(sense.size(), 8u);
    EXPECT_EQ(std::stoi(sense.substr(6, 2), nullptr, 16) & 0x0F, 8);  // BLANK CHECK
}

// tgtd refuses RECEIVE DIAGNOSTIC without sending a byte, and sends bytes of its own with
// the BLANK CHECK of a READ at blank tape (no VALID bit): neither is data.
TEST_F(CliTgtdTest, FailedDataInCommandsShowNoData) {
    ASSERT_EQ(cli({"--device", "0:1:1", "rewind"}).exitCode, 0);
    for (const auto& [cdb, length, senseKey] : {std::tuple{"1C 00 00 00 40 00", "64", 5},
                                                std::tuple{"08 00 00 02 00 00", "512", 8}}) {
        const auto r = cli({"--json", "--device", "0:1:1", "cdb", cdb, "--in", length});
        EXPECT_EQ(r.exitCode, 1) << cdb;
        const auto j = nlohmann::json::parse(r.out);
        EXPECT_EQ(j["target_status"], 2) << cdb;
        EXPECT_EQ(std::stoi(j["sense"].get<std::string>().substr(6, 2), nullptr, 16) & 0x0F, senseKey) << cdb;
        EXPECT_EQ(j["transferred"], 0) << cdb;
        EXPECT_EQ(j["data"], "") << cdb;
    }
    // The same through the commands' frames: nothing dumped as diagnostic results or data.
    for (const auto& command : std::vector<std::vector<std::string>>{{"receive-diagnostic"},
                                                                     {"read", "--transfer-length", "512"}}) {
        std::vector<std::string> args{"--engineering", "--device", "0:1:1"};
        args.insert(args.end(), command.begin(), command.end());
        const auto r = cli(args);
        EXPECT_EQ(r.exitCode, 1) << command.front();
        EXPECT_NE(r.out.find(" RAW_DATA: 0\n"), std::string::npos) << r.out;
    }
}

TEST_F(CliTgtdTest, TestUnitReadyFrameAndAReadThatMeetsAFilemark) {
    auto r = cli({"--engineering", "--device", "0:1:1", "tur"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::regex frame(
        "\n\\[Vexal_Command_Sent on \\d\\d/\\d\\d/\\d{4} at [0-9:.]{12} H:0 T:1 L:1 Device:[^\\]]+\\]\n"
        " TestUnitReady\n RAW_CDB: 00 00 00 00 00 00\n \\[Vexal_CmdStatus: SCSI_GOOD\n"
        "\\[Vexal_Command_Done on \\d\\d/\\d\\d/\\d{4} at [0-9:.]{12}\\]\n");
    EXPECT_TRUE(std::regex_search(r.out, frame)) << r.out;

    for (const auto& args : std::vector<std::vector<std::string>>{
             {"rewind"}, {"write", "--transfer-length", "512"}, {"write-filemarks", "1"}, {"rewind"},
             {"read", "--transfer-length", "512"}}) {
        std::vector<std::string> full{"--engineering", "--device", "0:1:1"};
        full.insert(full.end(), args.begin(), args.end());
        ASSERT_EQ(cli(full).exitCode, 0) << args.front();
    }
    r = cli({"--engineering", "--device", "0:1:1", "read", "--transfer-length", "512"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find(" [Vexal_CmdStatus: FILEMARK_DETECTED\n [Vexal_Check_Condition: AutoRequestSense]\n"
                         " RAW_DATA: 29\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("   Sense Key: 0x00 (No Sense)\n   Flags:  FM\n   ASC: 0x00  ASCQ: 0x01\n"), std::string::npos)
        << r.out;
}

TEST_F(CliTgtdTest, RepeatedWritesAndReadsWithCompare) {
    ASSERT_EQ(cli({"--device", "0:1:1", "rewind"}).exitCode, 0);
    auto r = cli({"--engineering", "--device", "0:1:1", "write", "--transfer-length", "65536", "--count", "1000",
                  "--pattern", "random"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("  Completed Consecutive Command Count: 1000\n"), std::string::npos);
    ASSERT_EQ(cli({"--device", "0:1:1", "rewind"}).exitCode, 0);
    r = cli({"--engineering", "--device", "0:1:1", "read", "--transfer-length", "65536", "--count", "1000",
             "--pattern", "random", "--compare"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("  Completed Consecutive Command Count: 1000\n"), std::string::npos);
    EXPECT_EQ(r.out.find("Compare_Error"), std::string::npos);
}

}  // namespace

namespace {

// The single commands tgtd's tape emulation implements end GOOD on it.
TEST_F(CliTgtdTest, SingleCommandsTgtdImplements) {
    const std::vector<std::vector<std::string>> commands{
        {"tur"},
        {"inquiry"},
        {"inquiry", "--serial"},
        {"request-sense"},
        {"rewind"},
        {"load"},
        {"read-block-limits"},
        {"read-position"},
        {"write", "--transfer-length", "1024"},
        {"write-filemarks", "1"},
        {"rewind"},
        {"space", "1", "1"},
        {"space", "3", "0"},
        {"rewind"},
        {"mode-sense", "--length", "64"},
        {"mode-sense", "--page", "15", "--dbd", "--length", "32"},
        {"set-block-size", "512"},
        {"set-block-size", "0"},
        {"prevent"},
        {"allow"},
        {"rewind"},
    };
    for (const auto& command : commands) {
        std::vector<std::string> args{"--engineering", "--device", "0:1:1"};
        args.insert(args.end(), command.begin(), command.end());
        const auto r = cli(args);
        EXPECT_EQ(r.exitCode, 0) << command.front() << "\n" << r.out << r.err;
    }
    // Those it does not implement end with their status named, and exit 1.
    for (const auto& command : std::vector<std::vector<std::string>>{{"locate", "1"}, {"reserve"}, {"release"},
                                                                     {"erase", "--short"}}) {
        std::vector<std::string> args{"--engineering", "--device", "0:1:1"};
        args.insert(args.end(), command.begin(), command.end());
        const auto r = cli(args);
        EXPECT_EQ(r.exitCode, 1) << command.front();
        EXPECT_NE(r.out.find(" [Vexal_CmdStatus: INVALID_COMMAND_OPERATION_CODE\n"), std::string::npos) << r.out;
    }
    // The changer takes INITIALIZE ELEMENT STATUS.
    const auto r = cli({"--engineering", "--device", "0:0:2", "init-element-status"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
}

}  // namespace
