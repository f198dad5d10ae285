// vexal-cli run as a process against the virtual devices.
#include <gtest/gtest.h>

#include <fstream>

#include <nlohmann/json.hpp>

#include "support/process_runner.h"
#include "support/test_root.h"

using vexal::testing::runProcess;

namespace {

class CliVirtualTest : public ::testing::Test {
protected:
    vexal::testing::ProcessResult cli(std::vector<std::string> args) {
        args.insert(args.begin(), "--virtual");
        return runProcess(VEXAL_CLI_PATH, args);
    }
    vexal::testing::TempRoot root;
};

TEST_F(CliVirtualTest, ScanListsTheThreeVirtualDevices) {
    const auto r = cli({"--json", "scan"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto list = nlohmann::json::parse(r.out);
    ASSERT_EQ(list.size(), 3u);
    const struct {
        int family;
        bool addressable;
        const char* type;
        const char* model;
    } expected[] = {{10, true, "Tape", "SKTX VIRTUAL"}, {254, true, "Medium Changer", "VIRTUAL LOADER"},
                    {255, false, "Disk", "VIRTUAL DISK"}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(list[i]["index"], i);
        EXPECT_EQ(list[i]["hba"], 0);
        EXPECT_EQ(list[i]["target"], i);
        EXPECT_EQ(list[i]["lun"], 0);
        EXPECT_EQ(list[i]["vendor"], "KORVANE");
        EXPECT_EQ(list[i]["model"], expected[i].model);
        EXPECT_EQ(list[i]["family"], expected[i].family);
        EXPECT_EQ(list[i]["addressable"], expected[i].addressable);
        EXPECT_EQ(list[i]["type"], expected[i].type);
    }
    const auto table = cli({"scan"});
    ASSERT_EQ(table.exitCode, 0);
    EXPECT_NE(table.out.find("SKTX VIRTUAL"), std::string::npos);
    EXPECT_NE(table.out.find("not addressable"), std::string::npos);
}

TEST_F(CliVirtualTest, SelectStoresTheChoiceAndRefusesTheDisk) {
    auto r = cli({"select", "0:1:0"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("VIRTUAL LOADER"), std::string::npos);
    std::ifstream profile(root.path() / "config/Mendra/Vexal.ini");
    std::string text((std::istreambuf_iterator<char>(profile)), {});
    EXPECT_NE(text.find("[Selected Device 1]\nUnitNumber=1\nHostNumber=0\nTargetID=1\nLun=0"), std::string::npos)
        << text;

    r = cli({"select", "2"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_NE(r.err.find("You cannot access this device."), std::string::npos);
    r = cli({"select", "7"});
    EXPECT_EQ(r.exitCode, 3);
    r = cli({"select", "banana"});
    EXPECT_EQ(r.exitCode, 3);

    // Without --device, cdb goes to the stored selection: the changer.
    r = cli({"--json", "cdb", "12 00 00 00 24 00", "--in", "36"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out)["data"].get<std::string>().substr(0, 2), "08");
}

TEST_F(CliVirtualTest, CdbReturnsStatusSenseAndData) {
    auto r = cli({"--json", "--device", "0", "cdb", "12 00 00 00 24 00", "--in", "36"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["result"], 0);
    EXPECT_EQ(j["target_status"], 0);
    EXPECT_EQ(j["sense"], "");
    const std::string data = j["data"];
    EXPECT_EQ(data.substr(0, 2), "01");
    EXPECT_EQ(data.size(), 36u * 3 - 1);

    // An unknown operation code ends in CHECK CONDITION, ILLEGAL REQUEST.
    r = cli({"--json", "--device", "0", "cdb", "FF 00 00 00 00 00"});
    EXPECT_EQ(r.exitCode, 1);
    j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["result"], 1);
    EXPECT_EQ(j["target_status"], 2);
    const std::string sense = j["sense"];
    ASSERT_GE(sense.size(), 14u * 3 - 1);
    EXPECT_EQ(sense.substr(6, 2), "05");  // sense key in byte 2

    // The text form shows the raw data dump.
    r = cli({"--device", "0", "cdb", "12 00 00 00 24 00", "--in", "36"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find(" RAW_DATA: 36"), std::string::npos);
    EXPECT_NE(r.out.find("  000000: 01"), std::string::npos);
}

TEST_F(CliVirtualTest, BadInputIsAUsageErrorOrRefused) {
    const struct {
        std::vector<std::string> args;
        int exitCode;
    } cases[] = {
        {{"cdb", "12 00 zz"}, 2},
        {{"cdb", "12 00"}, 2},
        {{"cdb", "12 00 00 00 24 00 00 00 00 00 00 00 00 00 00 00 00"}, 2},
        {{"cdb", "12 00 00 00 24 00", "--in", "-5"}, 2},
        {{"cdb", "12 00 00 00 24 00", "--in", "36", "--out", "00"}, 2},
        {{"--device", "2", "cdb", "00 00 00 00 00 00"}, 3},
        {{"--device", "9:9:9", "cdb", "00 00 00 00 00 00"}, 3},
        {{"nonsense"}, 2},
        {{"--transport", "scsi", "scan"}, 2},
    };
    for (const auto& c : cases) {
        const auto r = cli(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args.front() << " " << r.err;
    }
}

TEST_F(CliVirtualTest, ABadProfileIsAnEnvironmentError) {
    const auto profile = root.path() / "bad.ini";
    std::ofstream(profile) << "[target 0]\ntype = toaster\n";
    const auto r = runProcess(VEXAL_CLI_PATH, {"--virtual=" + profile.string(), "scan"});
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_NE(r.err.find("type"), std::string::npos) << r.err;
}

}  // namespace
