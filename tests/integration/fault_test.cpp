// Faults injected through the virtual drive and through a real target (tgtd): each command
// ends with its status name, the program ends in time, and the session log holds every line
// the line list got, up to and including the fault.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "integration/tgtd_fixture.h"
#include "integration/watchdog.h"
#include "support/process_runner.h"
#include "support/test_root.h"

using namespace std::chrono_literals;
using vexal::testing::runProcess;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kPhrase = "VEXAL_PASSPHRASE=Korvane-Eng42";

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

std::vector<std::string> crLfLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t at = 0;
    for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    return lines;
}

// The session log's logged lines: what follows the five header lines (and the blank lines
// among them) up to the stop time, when there is one.
std::vector<std::string> loggedLines(const fs::path& logs) {
    std::vector<std::string> lines;
    if (!fs::exists(logs)) return lines;
    for (const auto& entry : fs::directory_iterator(logs)) {
        auto all = crLfLines(readText(entry.path()));
        size_t from = 0;
        while (from < all.size() && all[from].rfind("[SystemInfo]", 0) != 0) ++from;
        for (size_t i = from + 1; i < all.size() && all[i].rfind("Stop Time: ", 0) != 0; ++i) lines.push_back(all[i]);
    }
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
}

// What --save wrote, without its header line and the view's empty lines; a script
// message reaches the log without the view's prefix.
std::vector<std::string> savedLines(const fs::path& saved) {
    constexpr std::string_view kScriptMessage = "[Vexal_Script_Message: ";
    std::vector<std::string> lines;
    auto all = crLfLines(readText(saved));
    for (size_t i = 1; i < all.size(); ++i) {
        if (all[i].empty()) continue;
        lines.push_back(all[i].starts_with(kScriptMessage) ? all[i].substr(kScriptMessage.size()) : all[i]);
    }
    return lines;
}

std::vector<std::string> withoutEmpty(std::vector<std::string> lines) {
    std::erase(lines, std::string());
    return lines;
}

class FaultTest : public ::testing::Test {
protected:
    std::string profile(const std::string& text) {
        const fs::path path = root->path() / ("profile" + std::to_string(++profiles_) + ".ini");
        std::ofstream(path) << text;
        return path.string();
    }
    // vexal-cli in engineering mode with a session log and --save.
    vexal::testing::ProcessResult cli(const std::string& profileFile, std::vector<std::string> args) {
        std::vector<std::string> full{kPhrase,  VEXAL_CLI_PATH, "--virtual=" + profileFile, "--engineering",
                                      "--color", "never",       "--log",        "--save",
                                      saved().string()};
        full.insert(full.end(), args.begin(), args.end());
        return runProcess("/usr/bin/env", full, 60);
    }
    fs::path saved() const { return root->path() / "saved.txt"; }
    fs::path logs() const { return root->path() / "data/Korvane/Vexal/Logs"; }
    // Every line the line list got is in the session log, in order, none left out.
    void expectNoLostLine(const std::string& what) {
        const auto list = savedLines(saved());
        ASSERT_FALSE(list.empty()) << what;
        EXPECT_EQ(withoutEmpty(loggedLines(logs())), list) << what;
    }

    // Replaced per case for a blank tape and no log files.
    std::unique_ptr<vexal::testing::TempRoot> root = std::make_unique<vexal::testing::TempRoot>();
    vexal::testing::Watchdog watchdog{300s, "a fault test"};
    int profiles_ = 0;
};

// Faults a single command meets: the fault's status name, the sense key line, exit 1.
TEST_F(FaultTest, EachFaultEndsTheCommandWithItsStatusAndLosesNoLogLine) {
    struct Case {
        const char* name;
        const char* profile;                         // [target 0] keys
        std::vector<std::vector<std::string>> before;  // run first with the default drive
        std::vector<std::string> command;
        const char* status;     // the CmdStatus line's name
        const char* senseKey;   // the Sense Key line, or nullptr: no sense
        const char* lastLine;   // a line before the status that must be there
        const char* note = nullptr;  // the line after the status, for a time-out
    };
    const std::vector<std::string> write5{"write", "--transfer-length", "512", "--count", "5"};
    const std::vector<std::string> read5{"read", "--transfer-length", "512", "--count", "5"};
    const Case cases[] = {
        {"no cartridge", "cartridge = no\n", {}, {"tur"}, "MEDIUM_NOT_PRESENT", "   Sense Key: 0x02 (Not Ready)",
         " RAW_CDB: 00 00 00 00 00 00"},
        {"not ready", "not_ready_seconds = 600\n", {}, read5, "LOGICAL_UNIT_IS_IN_PROCESS_OF_BECOMING_READY",
         "   Sense Key: 0x02 (Not Ready)", "  Completed Consecutive Command Count: 0"},
        {"medium error reading", "medium_error_at = 2\n", {write5, {"rewind"}}, read5, "UNRECOVERED_READ_ERROR",
         "   Sense Key: 0x03 (Medium Error)", "  Completed Consecutive Command Count: 2"},
        {"medium error writing", "medium_error_at = 2\n", {}, write5, "WRITE_ERROR", "   Sense Key: 0x03 (Medium Error)",
         "  Completed Consecutive Command Count: 2"},
        {"write protected", "write_protect = yes\n", {}, write5, "WRITE_PROTECTED", "   Sense Key: 0x07 (Data Protect)",
         "  Completed Consecutive Command Count: 0"},
        // The scan sends 10 commands; the 13th is the third WRITE: a bus free in mid-transfer.
        {"bus free in mid-transfer", "disconnect_after = 13\n", {}, write5, "SRB_HASTAT_UNEXPECTED_BUS_FREE", nullptr,
         "  Completed Consecutive Command Count: 2"},
        // A time-out: REWIND may have moved the tape and is sent once; TEST UNIT READY only
        // reads and is sent three times, a second apart.
        {"time-out of a rewind", "timeout_after = 11\n", {}, {"rewind"}, "SRB_HASTAT_COMMAND_TIMEOUT", nullptr,
         " RAW_CDB: 01 00 00 00 00 00", "   The command timed out after 0."},
        {"time-out of a test unit ready", "timeout_after = 11\n", {}, {"tur"}, "SRB_HASTAT_COMMAND_TIMEOUT", nullptr,
         " RAW_CDB: 00 00 00 00 00 00", "   The command was sent 3 times and timed out each time (2."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        root.reset();
        root = std::make_unique<vexal::testing::TempRoot>();
        const std::string plain = profile("[target 0]\n");
        for (const auto& step : c.before) ASSERT_EQ(cli(plain, step).exitCode, 0) << step.front();
        fs::remove_all(logs());

        const auto started = Clock::now();
        const auto r = cli(profile(std::string("[target 0]\n") + c.profile), c.command);
        EXPECT_LT(Clock::now() - started, 20s);
        EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
        EXPECT_NE(r.out.find(std::string(c.lastLine) + "\n"), std::string::npos) << r.out;
        const std::string status = std::string(" [Vexal_CmdStatus: ") + c.status + "\n";
        EXPECT_NE(r.out.find(status), std::string::npos) << r.out;
        if (c.senseKey) {
            EXPECT_NE(r.out.find(std::string(c.senseKey) + "\n"), std::string::npos) << r.out;
        } else {
            // No sense data: the status line names what the transport said, no sense lines follow.
            EXPECT_EQ(r.out.find("   Sense Key: "), std::string::npos) << r.out;
        }
        if (c.note) EXPECT_NE(r.out.find(status + c.note), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("[Vexal_Command_Done on "), std::string::npos);
        expectNoLostLine(c.name);
    }
}

// In customer mode the one status line names a failure that left no sense data, instead
// of staying blank (INQUIRY: the single command customer mode offers).
TEST_F(FaultTest, CustomerModeNamesAFailureWithoutSense) {
    // The scan sends 11 commands; the 12th is the INQUIRY.
    const std::string bus = profile("[target 0]\ndisconnect_after = 11\n");
    const auto r = runProcess(VEXAL_CLI_PATH, {"--virtual=" + bus, "--device", "0", "inquiry"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "Status: SRB_HASTAT_UNEXPECTED_BUS_FREE\n");

    // A time-out is named, and the terminal is told how often the command was sent.
    const std::string slow = profile("[target 0]\ntimeout_after = 11\n");
    const auto t = runProcess(VEXAL_CLI_PATH, {"--virtual=" + slow, "--device", "0", "inquiry"});
    EXPECT_EQ(t.exitCode, 1);
    EXPECT_EQ(t.out, "Status: SRB_HASTAT_COMMAND_TIMEOUT\n");
    EXPECT_EQ(t.err.rfind("The command was sent 3 times and timed out each time (", 0), 0u) << t.err;
}

// A script meets a unit attention after a LOAD, resets the device in the middle, and then
// loses the bus: the run ends, every frame is closed, and the log has every line.
TEST_F(FaultTest, ScriptThroughUnitAttentionResetAndBusFree) {
    const fs::path script = root->path() / "FAULTS.SCS";
    std::ofstream(script) << R"(DESCRIPTION faults
BUFFER Data [ 512 ]
LONG written = 0
WORD resetResult = 0
BYTE sk = 0
BYTE asc = 0
BYTE ascq = 0
CDB Unload { 6 , NONE , 0 , 1BH , 0 , 0 , 0 , 0 , 0 }
CDB Load { 6 , NONE , 0 , 1BH , 0 , 0 , 0 , 1 , 0 }
CDB Tur { 6 , NONE , 0 , 0 , 0 , 0 , 0 , 0 , 0 }
CDB WriteBlock { 6 , FROMHOST , Data , 0AH , 0 , 0 , 2 , 0 , 0 }
Start:
SCSI Unload
SCSI Load
SCSI Tur
GETSENSE sk asc ascq
PRINT BOTH 'after load: %x/%x/%x' sk asc ascq
SCSI Tur
GETSENSE sk asc ascq
PRINT BOTH 'then: %x/%x/%x' sk asc ascq
WRITE WriteBlock 3 written
BUSDEVICERESET resetResult
PRINT BOTH 'reset: %d' resetResult
WRITE WriteBlock 100 written
PRINT BOTH 'written after the reset: %d' written
EXIT 0
)";
    // 10 scan commands, 5 TEST UNIT READY/LOAD/UNLOAD, 3 writes, the reset is no command;
    // the bus goes at the 26th command: the 8th write after the reset.
    const auto r = cli(profile("[target 0]\nunit_attention = yes\ndisconnect_after = 26\n"),
                       {"--device", "0", "run", script.string()});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    for (const char* line : {"after load: 06/28/00", "then: CC/CC/CC", " [Vexal_CmdStatus: NOT_READY_TO_READY_TRANSITION",
                             " ResetBus", "reset: 0", "written after the reset: 7", "[Vexal_Ending_Script on "})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
    expectNoLostLine("script");
}

// A real target that goes away in the middle of a long WRITE: the command ends at once
// with a bus free, the program exits 1, and the log holds the frame up to its end.
TEST(FaultTgtdTest, TargetKilledInMidTransfer) {
    vexal::testing::TempRoot root;
    vexal::testing::TgtdServer server;
    std::string error;
    ASSERT_TRUE(server.start(error)) << error;
    vexal::testing::Watchdog watchdog{120s, "a target killed in mid-transfer"};

    const fs::path out = root.path() / "out.txt", err = root.path() / "err.txt", saved = root.path() / "saved.txt";
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        freopen(out.c_str(), "w", stdout);
        freopen(err.c_str(), "w", stderr);
        setenv("VEXAL_PASSPHRASE", "Korvane-Eng42", 1);
        execl(VEXAL_CLI_PATH, VEXAL_CLI_PATH, "--portal", server.portal().c_str(), "--engineering", "--color",
              "never", "--log", "--save", saved.c_str(), "--device", "0:0:1", "write", "--transfer-length", "65536",
              "--count", "0", static_cast<char*>(nullptr));
        _exit(127);
    }
    // Wait until the writes are under way, then kill the target.
    const fs::path logs = root.path() / "data/Korvane/Vexal/Logs";
    bool writing = false;
    for (int i = 0; i < 2000 && !writing; ++i) {
        std::this_thread::sleep_for(10ms);
        for (const auto& line : loggedLines(logs)) writing = writing || line == " RAW_CDB: 0A 00 01 00 00 00";
    }
    std::this_thread::sleep_for(300ms);
    const auto killed = Clock::now();
    server.kill();
    int status = 0;
    pid_t done = 0;
    while ((done = waitpid(pid, &status, WNOHANG)) == 0 && Clock::now() - killed < 60s)
        std::this_thread::sleep_for(10ms);
    if (done == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    ASSERT_TRUE(writing) << readText(err);
    EXPECT_LT(Clock::now() - killed, 10s);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 1) << readText(err);
    const std::string text = readText(out);
    EXPECT_NE(text.find("  Completed Consecutive Command Count: "), std::string::npos) << text;
    EXPECT_NE(text.find("[Vexal_Command_Done on "), std::string::npos) << text;
    // No sense data: the status line names what the transport said.
    EXPECT_NE(text.find(" [Vexal_CmdStatus: SRB_HASTAT_UNEXPECTED_BUS_FREE\n"), std::string::npos) << text;
    EXPECT_EQ(withoutEmpty(loggedLines(logs)), savedLines(saved));
}

}  // namespace
