// vexal-cli mam, eeprom and load-count-threshold run as processes against the virtual drive.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "support/process_runner.h"
#include "support/test_root.h"

using vexal::testing::runProcess;

namespace {

class CliMamTest : public ::testing::Test {
protected:
    // `profile` empty: the default virtual devices.
    vexal::testing::ProcessResult cli(std::vector<std::string> args, const std::string& profile = "",
                                      bool engineering = false) {
        std::string virtualOption = "--virtual";
        if (!profile.empty()) {
            const auto path = root.path() / "profile.ini";
            std::ofstream(path) << profile;
            virtualOption += "=" + path.string();
        }
        args.insert(args.begin(), virtualOption);
        if (engineering) args.insert(args.begin(), "--engineering");
        args.insert(args.begin(), {"VEXAL_PASSPHRASE=Korvane-Eng42", VEXAL_CLI_PATH});
        return runProcess("/usr/bin/env", args);
    }
    static const nlohmann::json& attribute(const nlohmann::json& group, const std::string& id) {
        for (const auto& a : group["attributes"])
            if (a["id"] == id) return a;
        static const nlohmann::json none;
        ADD_FAILURE() << id;
        return none;
    }
    vexal::testing::TempRoot root;
};

TEST_F(CliMamTest, GroupsAsTableAndJson) {
    auto r = cli({"mam"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const char* text : {"Device Data: Standard Device Type Attributes", "Medium Data", "Host Data",
                             "Load Count", "Current Amount of Data Written", "Data Medium", "VD00000001"})
        EXPECT_NE(r.out.find(text), std::string::npos) << text;
    EXPECT_EQ(r.out.find("Control Data"), std::string::npos);  // engineering mode only

    r = cli({"--json", "mam", "--group", "device"}, "[target 0]\ntype = tape\nmam_load_count = 41\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto groups = nlohmann::json::parse(r.out);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0]["group"], "device");
    EXPECT_EQ(groups[0]["attributes"].size(), 18u);
    const auto& count = attribute(groups[0], "0x0003");
    EXPECT_EQ(count["name"], "Load Count");
    EXPECT_EQ(count["value"], "41");
    EXPECT_EQ(count["available"], true);
    EXPECT_EQ(count["raw"], "0000000000000029");
    EXPECT_EQ(attribute(groups[0], "0x0340")["fields"].size(), 15u);
}

TEST_F(CliMamTest, ControlGroupNeedsEngineeringMode) {
    auto r = cli({"mam", "--group", "control"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("engineering mode"), std::string::npos) << r.err;

    r = cli({"--json", "mam", "--group", "control"}, "[target 0]\ntype = tape\nmam_control_flags = 0x11\n", true);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto flags = attribute(nlohmann::json::parse(r.out)[0], "0x0C04");
    EXPECT_EQ(flags["value"], "0x11");
    std::vector<std::string> checked;
    for (const auto& f : flags["fields"])
        if (f["checked"] == true) checked.push_back(f["name"]);
    EXPECT_EQ(checked, (std::vector<std::string>{"Software Write Protect", "Archive Tape"}));
    r = cli({"mam"}, "", true);
    EXPECT_NE(r.out.find("Control Data: Control Type Attributes"), std::string::npos);
}

TEST_F(CliMamTest, WithoutACartridgeNothingIsAvailable) {
    const auto r = cli({"--json", "mam"}, "[target 0]\ntype = tape\ncartridge = no\n");
    EXPECT_EQ(r.exitCode, 1);
    for (const auto& group : nlohmann::json::parse(r.out))
        for (const auto& a : group["attributes"]) {
            EXPECT_EQ(a["available"], false);
            const std::string value = a["value"];
            EXPECT_TRUE(value == "Not Available" || value == "0" || value.empty()) << a["name"] << ": " << value;
        }
    EXPECT_NE(cli({"mam"}, "[target 0]\ntype = tape\ncartridge = no\n").out.find("Not Available"), std::string::npos);
}

TEST_F(CliMamTest, EepromListAndSet) {
    auto r = cli({"--json", "eeprom"}, "", true);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto list = nlohmann::json::parse(r.out);
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list[0]["name"], "KorvLoadCountThresh");
    EXPECT_EQ(list[0]["current"], "50");
    // No temporary file is left behind.
    EXPECT_FALSE(std::filesystem::exists(root.path() / "data/Korvane/Vexal/tempEE_SKTX VIRTUAL.txt"));

    EXPECT_EQ(cli({"eeprom", "--set", "KorvSleepMinutes=45"}).exitCode, 2);  // engineering mode only
    r = cli({"eeprom", "--set", "KorvSleepMinutes=45"}, "", true);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("KorvSleepMinutes         d    45"), std::string::npos) << r.out;
    r = cli({"eeprom", "--set", "KorvSleepMinutes=241"}, "", true);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("Input value is out of range."), std::string::npos) << r.err;
    EXPECT_EQ(cli({"eeprom", "--set", "NoSuch=1"}, "", true).exitCode, 1);
    EXPECT_EQ(cli({"eeprom", "--set", "novalue"}, "", true).exitCode, 2);
}

TEST_F(CliMamTest, LoadCountThreshold) {
    auto r = cli({"load-count-threshold"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Number of Loads * 100: 50 (5000 loads)\n");
    r = cli({"--json", "load-count-threshold", "--set", "2"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out)["threshold"], 2);
    EXPECT_EQ(nlohmann::json::parse(cli({"--json", "load-count-threshold"}).out)["loads"], 200);
    for (const char* bad : {"1", "51"}) EXPECT_EQ(cli({"load-count-threshold", "--set", bad}).exitCode, 2) << bad;
    // Another family has no threshold to adjust.
    r = cli({"load-count-threshold"}, "[target 0]\ntype = tape\nbyte36 = 0x81\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("families 10, 11 and 12"), std::string::npos) << r.err;
}

}  // namespace
