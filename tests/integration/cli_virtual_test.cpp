// vexal-cli run as a process against the virtual devices.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

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
    // The same in engineering mode, for the commands only that mode offers.
    vexal::testing::ProcessResult eng(std::vector<std::string> args) {
        args.insert(args.begin(), {"VEXAL_PASSPHRASE=Korvane-Eng42", VEXAL_CLI_PATH, "--virtual", "--engineering"});
        return runProcess("/usr/bin/env", args);
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
        const char* serial;  // each device's VPD page 80h
    } expected[] = {{10, true, "Tape", "SKTX VIRTUAL", "VD00000001"},
                    {254, true, "Medium Changer", "VIRTUAL LOADER", "VL00000002"},
                    {255, false, "Disk", "VIRTUAL DISK", "VK00000003"}};
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
        EXPECT_EQ(list[i]["serial"], expected[i].serial);
        EXPECT_FALSE(list[i].contains("node"));  // SCSI generic devices only
    }
    const auto table = cli({"scan"});
    ASSERT_EQ(table.exitCode, 0);
    EXPECT_NE(table.out.find("VD00000001"), std::string::npos) << table.out;
    EXPECT_NE(table.out.find("not addressable"), std::string::npos);

    // A rescan asked for finds the same devices.
    const auto rescanned = cli({"--json", "scan", "--rescan"});
    ASSERT_EQ(rescanned.exitCode, 0) << rescanned.err;
    EXPECT_EQ(nlohmann::json::parse(rescanned.out), list);
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
    r = eng({"--json", "cdb", "12 00 00 00 24 00", "--in", "36"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out)["data"].get<std::string>().substr(0, 2), "08");
}

TEST_F(CliVirtualTest, CdbReturnsStatusSenseAndData) {
    auto r = eng({"--json", "--device", "0", "cdb", "12 00 00 00 24 00", "--in", "36"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["result"], 0);
    EXPECT_EQ(j["target_status"], 0);
    EXPECT_EQ(j["sense"], "");
    const std::string data = j["data"];
    EXPECT_EQ(data.substr(0, 2), "01");
    EXPECT_EQ(data.size(), 36u * 3 - 1);

    // An unknown operation code ends in CHECK CONDITION, ILLEGAL REQUEST.
    r = eng({"--json", "--device", "0", "cdb", "FF 00 00 00 00 00"});
    EXPECT_EQ(r.exitCode, 1);
    j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["result"], 1);
    EXPECT_EQ(j["target_status"], 2);
    const std::string sense = j["sense"];
    ASSERT_GE(sense.size(), 14u * 3 - 1);
    EXPECT_EQ(sense.substr(6, 2), "05");  // sense key in byte 2

    // The text form shows the raw data dump.
    r = eng({"--device", "0", "cdb", "12 00 00 00 24 00", "--in", "36"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find(" RAW_DATA: 36"), std::string::npos);
    EXPECT_NE(r.out.find("  000000: 01"), std::string::npos);
}

TEST_F(CliVirtualTest, DescriptorSenseShowsAsFixedSenseDoes) {
    struct Seen {
        nlohmann::json json;
        std::string cdbText;
        std::vector<std::string> senseLines;  // the status and decoded sense lines of TEST UNIT READY
    };
    const auto seen = [&](const char* descriptor) {
        const auto profile = root.path() / (std::string("sense-") + descriptor + ".ini");
        std::ofstream(profile) << "[target 0]\ncartridge = no\ndescriptor_sense = " << descriptor << "\n";
        const std::string virt = "--virtual=" + profile.string();
        Seen s;
        auto r = runProcess("/usr/bin/env", {"VEXAL_PASSPHRASE=Korvane-Eng42", VEXAL_CLI_PATH, virt, "--engineering",
                                             "--json", "--device", "0", "cdb", "00 00 00 00 00 00"});
        EXPECT_EQ(r.exitCode, 1) << r.err;
        s.json = nlohmann::json::parse(r.out);
        s.cdbText = runProcess("/usr/bin/env", {"VEXAL_PASSPHRASE=Korvane-Eng42", VEXAL_CLI_PATH, virt, "--engineering",
                                                "--device", "0", "cdb", "00 00 00 00 00 00"})
                        .out;
        r = runProcess("/usr/bin/env", {"VEXAL_PASSPHRASE=Korvane-Eng42", VEXAL_CLI_PATH, virt, "--engineering",
                                        "--device", "0", "tur"});
        EXPECT_EQ(r.exitCode, 1) << r.err;
        std::istringstream lines(r.out);
        for (std::string line; std::getline(lines, line);)
            if (line.rfind(" [Vexal_CmdStatus:", 0) == 0 || line.rfind("   Sense Key:", 0) == 0 ||
                line.rfind("   Flags:", 0) == 0 || line.rfind("   ASC:", 0) == 0)
                s.senseLines.push_back(line);
        return s;
    };
    const Seen fixed = seen("no");
    const Seen descriptor = seen("yes");
    EXPECT_EQ(fixed.json["sense"].get<std::string>().substr(0, 2), "70");
    EXPECT_EQ(descriptor.json["sense"].get<std::string>().substr(0, 2), "72");
    for (const Seen* s : {&fixed, &descriptor}) {
        EXPECT_EQ(s->json["sense_key"], 2);
        EXPECT_EQ(s->json["asc"], 0x3A);
        EXPECT_EQ(s->json["ascq"], 0);
        EXPECT_EQ(s->json["filemark"], false);
        EXPECT_NE(s->cdbText.find(" [Vexal_CmdStatus: MEDIUM_NOT_PRESENT\n"), std::string::npos) << s->cdbText;
    }
    EXPECT_EQ(fixed.senseLines, (std::vector<std::string>{" [Vexal_CmdStatus: MEDIUM_NOT_PRESENT",
                                                          "   Sense Key: 0x02 (Not Ready)", "   Flags: ",
                                                          "   ASC: 0x3A  ASCQ: 0x00"}));
    EXPECT_EQ(descriptor.senseLines, fixed.senseLines);
}

TEST_F(CliVirtualTest, TheTimeOutOptionSetsTheDevicesTimeOutForTheRun) {
    auto r = eng({"--device", "0", "--timeout", "7", "timeout"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Current Timeout: 7\n");
    // The next run starts from the default again: the time-out lives as long as the program.
    r = eng({"--device", "0", "timeout"});
    EXPECT_EQ(r.out, "Current Timeout: 108000\n");
}

TEST_F(CliVirtualTest, DataInCountsOnlyAsFarAsTheDriveSentIt) {
    const auto json = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--json", "--device", "0", "cdb"});
        const auto r = eng(args);
        EXPECT_TRUE(r.err.empty()) << r.err;
        return nlohmann::json::parse(r.out);
    };
    // A refused INQUIRY page, a READ at blank tape (BLANK CHECK): nothing was sent.
    for (const auto& cdb : {"12 01 55 00 40 00", "08 00 00 02 00 00"}) {
        const auto j = json({cdb, "--in", "64"});
        EXPECT_EQ(j["target_status"], 2) << cdb;
        EXPECT_EQ(j["transferred"], 0) << cdb;
        EXPECT_EQ(j["data"], "") << cdb;
    }
    // The frame of that READ dumps nothing.
    const auto frame = runProcess("/usr/bin/env", {"VEXAL_PASSPHRASE=Korvane-Eng42", VEXAL_CLI_PATH, "--virtual",
                                                   "--engineering", "--device", "0", "read", "--transfer-length",
                                                   "512"});
    EXPECT_EQ(frame.exitCode, 1);
    EXPECT_NE(frame.out.find(" RAW_DATA: 0\n"), std::string::npos) << frame.out;
    EXPECT_NE(frame.out.find("END_OF_DATA_DETECTED"), std::string::npos) << frame.out;

    // A block of 5 bytes read with room for 16: ILI, and the 5 bytes.
    ASSERT_EQ(json({"0A 00 00 00 05 00", "--out", "01 02 03 04 05"})["result"], 0);
    ASSERT_EQ(json({"01 00 00 00 00 00"})["result"], 0);
    const auto j = json({"08 00 00 00 10 00", "--in", "16"});
    EXPECT_EQ(j["target_status"], 2);
    EXPECT_EQ(j["transferred"], 5);
    EXPECT_EQ(j["data"], "01 02 03 04 05");
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
        {{"--device", "/dev/sg0", "tur"}, 2},  // a node of another transport
        {{"--device", "0:1:0:0", "tur"}, 2},  // H:C:T:L with a channel the virtual bus does not have
        {{"--device", "banana", "tur"}, 2},
        {{"nonsense"}, 2},
        {{"--timeout", "0", "tur"}, 2},
        {{"--transport", "scsi", "scan"}, 2},
    };
    for (const auto& c : cases) {
        const auto r = eng(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args.front() << " " << r.err;
    }
}

// A device that is not there is named as given and, when that reads differently, as the
// device it stands for.
TEST_F(CliVirtualTest, AMissingDeviceIsNamedAsGivenAndAsMeant) {
    const struct {
        std::string device;
        std::string named;
    } cases[] = {
        {"9", "9"},
        {"009", "009 (9)"},
        {"0:9:0", "0:9:0"},
    };
    for (const auto& c : cases) {
        const auto r = eng({"--device", c.device, "tur"});
        EXPECT_EQ(r.exitCode, 3) << r.err;
        EXPECT_NE(r.err.find("There is no device " + c.named + ": run 'vexal-cli scan'"), std::string::npos)
            << r.err;
    }
    // A link names the SCSI generic node it points at (no such node on this machine).
    std::ofstream(root.path() / "sg977").put('\0');
    std::filesystem::create_symlink(root.path() / "sg977", root.path() / "drive");
    const std::string link = (root.path() / "drive").string();
    const auto r = runProcess("/usr/bin/env", {"VEXAL_PASSPHRASE=Korvane-Eng42", VEXAL_CLI_PATH, "--engineering",
                                               "--transport", "sg", "--device", link, "tur"});
    EXPECT_EQ(r.exitCode, 3) << r.err;
    EXPECT_NE(r.err.find("There is no device " + link + " (/dev/sg977): run"), std::string::npos) << r.err;
}

TEST_F(CliVirtualTest, ABadProfileIsAUsageError) {
    const auto profile = root.path() / "bad.ini";
    std::ofstream(profile) << "[target 0]\ntype = toaster\n";
    const auto r = runProcess(VEXAL_CLI_PATH, {"--virtual=" + profile.string(), "scan"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("type"), std::string::npos) << r.err;
}

}  // namespace

namespace {

class CliSessionTest : public CliVirtualTest {};

TEST_F(CliSessionTest, CustomerModePrintsOnlyTheStatusEngineeringModeTheWholeFrame) {
    auto r = cli({"--device", "0", "inquiry"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Status: SCSI_GOOD\n");

    // A wrong phrase is refused.
    r = runProcess("/usr/bin/env", {"VEXAL_PASSPHRASE=nope", VEXAL_CLI_PATH, "--virtual", "--engineering", "tur"});
    EXPECT_EQ(r.exitCode, 2);

    r = runProcess("/usr/bin/env", {"VEXAL_PASSPHRASE=Korvane-Eng42", VEXAL_CLI_PATH, "--virtual", "--engineering",
                                    "--color", "never", "--device", "0", "tur"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find(" TestUnitReady\n RAW_CDB: 00 00 00 00 00 00\n [Vexal_CmdStatus: SCSI_GOOD\n"),
              std::string::npos)
        << r.out;

    // The engineering digest is remembered for later runs.
    r = cli({"--device", "0", "--engineering", "--color", "always", "tur"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\x1b[38;2;"), std::string::npos);  // coloured by tag
}

// FORMAT MEDIUM has a name line but no RAW_CDB line; the trace shows the CDB the drive got.
TEST_F(CliSessionTest, FormatSendsItsCdbWithoutARawCdbLine) {
    const auto trace = root.path() / "format-trace.txt";
    const auto profile = root.path() / "format.ini";
    std::ofstream(profile) << "[target 0]\ntype = tape\ntrace = " << trace.string() << "\n";
    const struct {
        std::vector<std::string> args;
        const char* cdb;
    } cases[] = {
        {{}, "04 00 00 00 00 00 -> "},
        {{"--code", "5"}, "04 00 05 00 00 00 -> "},
        {{"--immediate", "--code", "15"}, "04 01 0F 00 00 00 -> "},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(trace);
        std::vector<std::string> args{"VEXAL_PASSPHRASE=Korvane-Eng42", VEXAL_CLI_PATH, "--virtual=" + profile.string(),
                                      "--engineering", "--yes", "--color", "never", "--device", "0", "format"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto r = runProcess("/usr/bin/env", args);
        EXPECT_NE(r.out.find("]\n Format\n [Vexal_CmdStatus: "), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("RAW_CDB"), std::string::npos) << r.out;
        std::ifstream in(trace);
        const std::string sent((std::istreambuf_iterator<char>(in)), {});
        EXPECT_NE(sent.find(c.cdb), std::string::npos) << c.cdb << "\n" << sent;
    }
    const auto refused = cli({"--device", "0", "format", "--code", "16"});
    EXPECT_EQ(refused.exitCode, 2) << refused.out;
}

TEST_F(CliSessionTest, SaveWritesTheFullLinesWithCrLf) {
    const auto saved = root.path() / "view.txt";
    auto r = runProcess("/usr/bin/env", {"VEXAL_PASSPHRASE=Korvane-Eng42", VEXAL_CLI_PATH, "--virtual",
                                         "--engineering", "--save", saved.string(), "--device", "0", "inquiry"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::ifstream in(saved, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(text.rfind("[Vexal_Log_View (4.0.1 Build 8)]\r\n", 0), 0u);
    EXPECT_NE(text.find("   Vendor ID: KORVANE \r\n"), std::string::npos);
    EXPECT_NE(text.find("   Product Family: 100.0+ / 200.0+\r\n"), std::string::npos);
}

TEST_F(CliSessionTest, TransferLimitsAreRefused) {
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"write", "--transfer-length", "0"}, "Data transfers must be between 1 and 64K bytes."},
        {{"write", "--transfer-length", "65537"}, "Data transfers over 64K bytes are not available yet."},
        {{"read", "--fixed", "--block-size", "1024", "--transfer-length", "65"},
         "Data transfers over 64K bytes are not available yet."},
        {{"read", "--transfer-length", "10", "--pattern", "plaid"}, "Unknown pattern"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"--device", "0"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto r = eng(args);
        EXPECT_EQ(r.exitCode, 2) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
}

// Every line reaches the session log as it is written: a kill -9 in the middle of a long
// command loses none of the lines written before it.
TEST_F(CliSessionTest, SessionLogSurvivesKillNine) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        setenv("VEXAL_PASSPHRASE", "Korvane-Eng42", 1);
        execl(VEXAL_CLI_PATH, VEXAL_CLI_PATH, "--virtual", "--engineering", "--log", "--device", "0", "write",
              "--transfer-length", "65536", "--count", "0", static_cast<char*>(nullptr));
        _exit(127);
    }
    const auto logs = root.path() / "data/Korvane/Vexal/Logs";
    std::string text;
    for (int i = 0; i < 1000 && text.find(" RAW_CDB: 0A") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!std::filesystem::exists(logs)) continue;
        for (const auto& entry : std::filesystem::directory_iterator(logs)) {
            std::ifstream in(entry.path(), std::ios::binary);
            text.assign((std::istreambuf_iterator<char>(in)), {});
        }
    }
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the write ended before it could be killed";
    EXPECT_EQ(text.rfind("Vexal Version [Vexal_Log_View (4.0.1 Build 8)] Log File\r\n", 0), 0u) << text;
    for (const char* line : {"[Vexal_Command_Sent on", "\r\n Write\r\n", "  Requested Consecutive Command Count: EOM\r\n",
                             " RAW_CDB: 0A 00 01 00 00 00\r\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
}

}  // namespace
