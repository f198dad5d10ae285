// vexal-cli's frames and what keeps them: the cdb command's frame on the screen, in the
// session log and in --save; session logs that never replace one another and a log that
// cannot be made stopping the run; the time-out kept per drive; run's exit status for each
// way a script ends.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "integration/watchdog.h"
#include "platform/paths.h"
#include "support/fingerprinted_script.h"
#include "support/process_runner.h"
#include "support/test_root.h"

using vexal::testing::ProcessResult;
using vexal::testing::runProcess;

namespace {

namespace fs = std::filesystem;

constexpr const char* kPassPhrase = "VEXAL_PASSPHRASE=Korvane-Eng42";

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class CliFramesTest : public ::testing::Test {
protected:
    // vexal-cli on the virtual bus, in engineering mode when asked.
    ProcessResult cli(std::vector<std::string> args, bool engineering = false, std::vector<std::string> env = {}) {
        std::vector<std::string> full = std::move(env);
        if (engineering) full.push_back(kPassPhrase);
        full.insert(full.end(), {VEXAL_CLI_PATH, "--virtual", "--color", "never"});
        if (engineering) full.push_back("--engineering");
        full.insert(full.end(), args.begin(), args.end());
        return runProcess("/usr/bin/env", full, 120);
    }
    static fs::path logsFolder() { return vexal::platform::installPath() / "Logs"; }
    static std::set<fs::path> logFiles() {
        std::set<fs::path> files;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(logsFolder(), ec))
            if (e.path().extension() == ".txt") files.insert(e.path());
        return files;
    }
    std::string script(const std::string& name, const std::string& text) {
        return vexal::testing::writeFingerprintedScript(root.path() / name, text).string();
    }

    vexal::testing::TempRoot root;
    vexal::testing::Watchdog watchdog{std::chrono::seconds(300), "the frames tests"};
};

TEST_F(CliFramesTest, CdbWritesItsFrameToTheScreenTheSessionLogAndTheSavedLines) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int exitCode;
        std::vector<std::string> lines;  // in this order, between Command_Sent and Command_Done
    };
    const Case cases[] = {
        {"data in",
         {"cdb", "12 00 00 00 24 00", "--in", "36"},
         0,
         {" Custom CDB", "  CDB: 12 00 00 00 24 00", " RAW_DATA: 36", "  000000: 01 ",
          " [Vexal_CmdStatus: SCSI_GOOD"}},
        {"no data, refused",
         {"cdb", "FF 00 00 00 00 00"},
         1,
         {" Custom CDB", "  CDB: FF 00 00 00 00 00", " [Vexal_CmdStatus: INVALID_COMMAND_OPERATION_CODE",
          " [Vexal_Check_Condition: AutoRequestSense]", "   Sense Key: 0x05 (Illegal Request)",
          "   ASC: 0x20  ASCQ: 0x00"}},
        {"ten bytes",
         {"cdb", "34 00 00 00 00 00 00 00 00 00", "--in", "20"},
         0,
         {"  CDB: 34 00 00 00 00 00 00 00 00 00", " RAW_DATA: 20", " [Vexal_CmdStatus: SCSI_GOOD"}},
        {"eight bytes show six",
         {"cdb", "00 00 00 00 00 00 00 00"},
         0,
         {"  CDB: 00 00 00 00 00 00\n", " [Vexal_CmdStatus: SCSI_GOOD"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& f : logFiles()) fs::remove(f);
        const fs::path saved = root.path() / "saved.txt";
        std::vector<std::string> args{"--device", "0", "--log", "--save", saved.string()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto r = cli(args, true);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.out << r.err;
        const auto logs = logFiles();
        ASSERT_EQ(logs.size(), 1u) << r.err;
        const std::string log = readAll(*logs.begin());
        std::string save = readAll(saved);
        for (const auto& [where, text, end] : {std::tuple{"screen", r.out, "\n"}, std::tuple{"log", log, "\r\n"},
                                               std::tuple{"save", save, "\r\n"}}) {
            size_t at = text.find("[Vexal_Command_Sent on ");
            ASSERT_NE(at, std::string::npos) << where << "\n" << text;
            for (std::string line : c.lines) {
                if (line.ends_with("\n")) line = line.substr(0, line.size() - 1) + end;
                const size_t next = text.find(line, at);
                EXPECT_NE(next, std::string::npos) << where << ": " << line << "\n" << text;
                if (next != std::string::npos) at = next;
            }
            EXPECT_NE(text.find("[Vexal_Command_Done on ", at), std::string::npos) << where << "\n" << text;
        }
    }
}

TEST_F(CliFramesTest, CdbJsonStaysOneDocumentAndShowsOnlyWhatTheDriveSent) {
    // A 5-byte block read with room for 16: the frame dumps 5 bytes, the JSON holds 5.
    ASSERT_EQ(cli({"--device", "0", "cdb", "0A 00 00 00 05 00", "--out", "01 02 03 04 05"}, true).exitCode, 0);
    ASSERT_EQ(cli({"--device", "0", "rewind"}, true).exitCode, 0);
    const auto frame = cli({"--device", "0", "cdb", "08 00 00 00 10 00", "--in", "16"}, true);
    EXPECT_EQ(frame.exitCode, 1);
    EXPECT_NE(frame.out.find(" RAW_DATA: 5\n  000000: 01 02 03 04 05 "), std::string::npos) << frame.out;
    ASSERT_EQ(cli({"--device", "0", "rewind"}, true).exitCode, 0);

    const auto r = cli({"--json", "--device", "0", "cdb", "08 00 00 00 10 00", "--in", "16"}, true);
    EXPECT_EQ(r.exitCode, 1);
    const auto j = nlohmann::json::parse(r.out, nullptr, false);
    ASSERT_TRUE(j.is_object()) << "nothing but the JSON on stdout:\n" << r.out;
    EXPECT_EQ(j["result"], 1);
    EXPECT_EQ(j["target_status"], 2);
    EXPECT_EQ(j["transferred"], 5);
    EXPECT_EQ(j["data"], "01 02 03 04 05");
    EXPECT_EQ(j["ili"], true);
}

TEST_F(CliFramesTest, CustomerModeSendsNoCdb) {
    // Create CDB is an engineering command: in customer mode nothing reaches the drive.
    const fs::path trace = root.path() / "trace.txt";
    const auto r = cli({"--device", "0", "--log", "cdb", "00 00 00 00 00 00"}, false,
                       {"VEXAL_VIRTUAL_TRACE=" + trace.string()});
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_NE(r.err.find("'cdb' needs engineering mode"), std::string::npos) << r.err;
    EXPECT_EQ(readAll(trace).find("00 00 00 00 00 00 ->"), std::string::npos);
}

// The names a session log started in the seconds around now would get.
std::vector<std::string> logNamesAroundNow(const std::string& serial) {
    std::vector<std::string> names;
    const std::time_t now = std::time(nullptr);
    for (std::time_t t = now - 2; t <= now + 20; ++t) {
        std::tm local{};
        localtime_r(&t, &local);
        names.push_back(fmt::format("Vexal_{:02}-{:02}-{:4}_{:02}{:02}{:02}_{}", local.tm_mon + 1, local.tm_mday,
                                    local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec, serial));
    }
    return names;
}

TEST_F(CliFramesTest, ALogNeverReplacesAnExistingFileAndTakesTheNextFreeName) {
    // Logs of earlier runs, closed (read-only), under every name this run could start with.
    ASSERT_EQ(cli({"settings"}).exitCode, 0);
    fs::create_directories(logsFolder());
    const auto names = logNamesAroundNow("VD00000001");
    for (const auto& name : names) {
        const fs::path path = logsFolder() / (name + ".txt");
        std::ofstream(path) << "an earlier session\r\n";
        fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    }
    const auto before = logFiles();

    const auto r = cli({"--device", "0", "--log", "tur"}, true);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    for (const auto& path : before) EXPECT_EQ(readAll(path), "an earlier session\r\n") << path;
    std::vector<fs::path> added;
    for (const auto& path : logFiles())
        if (!before.contains(path)) added.push_back(path);
    ASSERT_EQ(added.size(), 1u);
    const std::string stem = added.front().stem().string();
    ASSERT_TRUE(stem.ends_with("-2")) << stem;
    EXPECT_NE(std::find(names.begin(), names.end(), stem.substr(0, stem.size() - 2)), names.end()) << stem;
    EXPECT_NE(readAll(added.front()).find(" TestUnitReady\r\n"), std::string::npos);

    // Two runs started together: both logs are kept, whole.
    ProcessResult first, second;
    std::thread other([&] { first = cli({"--device", "0", "--log", "inquiry"}, true); });
    second = cli({"--device", "0", "--log", "inquiry"}, true);
    other.join();
    ASSERT_EQ(first.exitCode, 0) << first.err;
    ASSERT_EQ(second.exitCode, 0) << second.err;
    size_t inquiries = 0;
    for (const auto& path : logFiles())
        if (!before.contains(path) && readAll(path).find(" Inquiry\r\n") != std::string::npos) ++inquiries;
    EXPECT_EQ(inquiries, 2u);
}

TEST_F(CliFramesTest, ALogThatCannotBeCreatedStopsTheRunWithStatusFour) {
    ASSERT_EQ(cli({"settings"}).exitCode, 0);
    const fs::path logs = logsFolder();  // (finding the data folder makes its folders)
    fs::remove_all(logs);
    std::ofstream(logs) << "a file where the Logs folder belongs\n";
    ASSERT_TRUE(fs::is_regular_file(logs));
    const fs::path trace = root.path() / "trace.txt";
    const auto r = cli({"--device", "0", "--log", "rewind"}, true, {"VEXAL_VIRTUAL_TRACE=" + trace.string()});
    EXPECT_EQ(r.exitCode, 4) << r.out << r.err;
    EXPECT_NE(r.err.find("No session log could be created in " + logs.string() +
                         "/, so nothing was done (--log).\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(readAll(trace).find("01 00 00 00 00 00"), std::string::npos) << "the REWIND was not sent";
    EXPECT_EQ(r.out.find(" Rewind"), std::string::npos) << r.out;
}

TEST_F(CliFramesTest, ATimeOutSetForADriveHoldsInLaterRuns) {
    auto r = cli({"--device", "0", "--yes", "timeout", "--set", "120"}, true);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Current Timeout: 108000\nTimeout: 120\n");
    const struct {
        std::vector<std::string> args;
        const char* out;
    } cases[] = {
        {{"--device", "0", "timeout"}, "Current Timeout: 120\n"},
        {{"--device", "0:0:0", "timeout"}, "Current Timeout: 120\n"},
        // Kept for that drive only.
        {{"--device", "1", "timeout"}, "Current Timeout: 108000\n"},
        // --timeout holds for its run, over the kept value, and is not kept.
        {{"--device", "0", "--timeout", "7", "timeout"}, "Current Timeout: 7\n"},
        {{"--device", "0", "timeout"}, "Current Timeout: 120\n"},
    };
    for (const auto& c : cases) {
        r = cli(c.args, true);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, c.out) << c.args[1] << " " << c.args[2];
    }
    // Answered No: nothing changes now or later.
    r = cli({"--device", "0", "--no", "timeout", "--set", "30"}, true);
    EXPECT_EQ(r.out, "Current Timeout: 120\n");
    EXPECT_EQ(cli({"--device", "0", "timeout"}, true).out, "Current Timeout: 120\n");
}

TEST_F(CliFramesTest, RunExitsWithTheScriptsOutcome) {
    struct Case {
        const char* name;
        const char* body;  // after "Start:"
        int iterations;
        int exitCode;
    };
    const Case cases[] = {
        {"end of the script", "MSG done\n", 1, 0},
        {"EXIT 0", "MSG done\nEXIT 0\nMSG never\n", 1, 0},
        {"PASS", "PASS all good\nEXIT 0\n", 1, 0},
        {"EXIT 1", "EXIT 1\n", 1, 1},
        {"EXIT 300", "EXIT 300\n", 1, 1},
        {"FAIL then EXIT 0", "FAIL broken\nEXIT 0\n", 1, 1},
        {"FAIL at the end", "FAIL broken\n", 1, 1},
        {"FAIL in every one of three iterations", "FAIL broken\n", 3, 1},
        {"run-time error", "BYTE b = 1\nb /= 0\nEXIT 0\n", 1, 1},
        {"load error", "JUMP Nowhere\n", 1, 1},
    };
    for (const Case& c : cases) {
        const std::string file = script("OUTCOME.SCS", std::string("DESCRIPTION outcome\nStart:\n") + c.body);
        const auto r = cli({"--yes", "run", "--iterations", std::to_string(c.iterations), file});
        EXPECT_EQ(r.exitCode, c.exitCode) << c.name << "\n" << r.out << r.err;
        EXPECT_EQ(r.out.find("never"), std::string::npos) << c.name;
    }
    // Ctrl+C aborts the run between statements: not passed.
    const std::string waiting = script("WAIT.SCS", "DESCRIPTION wait\nStart:\nMSG waiting\nSLEEP 8000\nEXIT 0\n");
    const auto r = vexal::testing::runProcessSignalled(VEXAL_CLI_PATH, {"--virtual", "run", waiting}, "waiting",
                                                       SIGINT, 120);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
}

}  // namespace
