// vexal-cli left with Ctrl+C or SIGTERM while a command waits on an iSCSI target that
// stopped answering (tgtd stopped with SIGSTOP): the first Ctrl+C aborts the command and
// the program ends by itself; a second one ends it at once; SIGTERM ends it either way.
// On every way out the session log is closed and the settings are as the exit sequence
// leaves them.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/pass_phrases.h"
#include "app/test_preparation.h"
#include "app/user_settings.h"
#include "integration/tgtd_fixture.h"
#include "integration/watchdog.h"
#include "platform/paths.h"
#include "platform/settings_store.h"
#include "support/fingerprinted_script.h"
#include "support/process_runner.h"
#include "support/test_root.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using vexal::testing::SignalStep;

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string setting(const char* name) {
    vexal::platform::SettingsKey key;
    std::string value;
    if (!key.Open("Mendra") || key.ReadString(name, value) != 0) return "(none)";
    return value;
}

std::vector<fs::path> logFiles() {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(vexal::platform::installPath() / "Logs", ec))
        if (e.path().extension() == ".txt" && e.path().filename() != "View.txt") files.push_back(e.path());
    return files;
}

// Wizard privileges remembered from an earlier run: the exit sequence must forget them.
void rememberWizard() {
    vexal::app::UserSettings settings;
    ASSERT_TRUE(vexal::app::LoadSettings(settings));
    ASSERT_TRUE(vexal::app::WriteSetting("Password", vexal::app::wizardDigest()));
    ASSERT_TRUE(vexal::app::WriteSetting("PasswordSet", 1));
    ASSERT_TRUE(vexal::app::WriteSetting("ShowEngineeringMode", 1));
}

constexpr const char* kAbortNotice = "Aborting the command in progress";
constexpr const char* kStallNow = "stall now";

class CliAbortTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(server_.start(error)) << error;
        // The script TEST UNIT READY a second after it says so: the target is stopped by then.
        script_ = vexal::testing::writeFingerprintedScript(
                      root_.path() / "STALL.SCS",
                      "DESCRIPTION stall\n"
                      "CDB Ready { 6 , NONE , 0 , SCSI_TEST_UNIT_READY , 0 , 0 , 0 , 0 , 0 }\n"
                      "Start:\nMSG stall now\nSLEEP 1000\nSCSI Ready\nMSG after the command\nEXIT 0\n")
                      .string();
    }
    void TearDown() override { server_.stop(); }

    vexal::testing::TempRoot root_;
    vexal::testing::TgtdServer server_;
    std::string script_;
    vexal::testing::Watchdog watchdog_{std::chrono::seconds(400), "a Ctrl+C test against tgtd"};
};

TEST_F(CliAbortTest, CtrlCAndSigtermLeaveACommandTheTargetNeverAnswers) {
    enum class Work { Readiness, Run };  // single commands, a script's command
    struct Case {
        const char* name;
        Work work;
        std::vector<int> signals;  // the first 2.5 s after the target stopped, the next after the abort notice
        int endedBy;               // the signal it ends by; 0: it exits, with status 1
        std::chrono::milliseconds within;  // after the last signal
    };
    // An abort the target does not answer is given up after 5 s.
    const Case cases[] = {
        {"Ctrl+C in a command", Work::Readiness, {SIGINT}, 0, 9s},
        {"Ctrl+C in a run", Work::Run, {SIGINT}, 0, 9s},
        {"Ctrl+C twice in a command", Work::Readiness, {SIGINT, SIGINT}, SIGINT, 2s},
        {"Ctrl+C twice in a run", Work::Run, {SIGINT, SIGINT}, SIGINT, 2s},
        {"SIGTERM in a command", Work::Readiness, {SIGTERM}, SIGTERM, 2s},
        {"SIGTERM in a run", Work::Run, {SIGTERM}, 0, 9s},
        {"Ctrl+C then SIGTERM in a run", Work::Run, {SIGINT, SIGTERM}, SIGTERM, 2s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        ASSERT_TRUE(server_.restart(error)) << error;
        for (const auto& f : logFiles()) fs::remove(f);
        rememberWizard();

        std::vector<std::string> args{VEXAL_CLI_PATH, "--portal", server_.portal(), "--device", "0:0:1",
                                      "--color", "never", "--yes", "--log"};
        if (c.work == Work::Run) args.insert(args.end(), {"run", script_});
        else args.push_back("ready");
        std::vector<SignalStep> steps;
        const char* started = c.work == Work::Run ? kStallNow : vexal::app::kCheckingReadiness;
        steps.push_back({started, 0, 0ms, [this] { server_.suspend(); }});
        for (size_t i = 0; i < c.signals.size(); ++i)
            steps.push_back(i == 0 ? SignalStep{"", c.signals[i], 2500ms, {}} : SignalStep{kAbortNotice, c.signals[i]});
        const auto r = vexal::testing::runProcessSignalSteps(args.front(), {args.begin() + 1, args.end()}, steps, 120);
        server_.resume();

        EXPECT_EQ(r.signal, c.endedBy) << r.out << r.err;
        if (c.endedBy == 0) EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
        EXPECT_GE(r.afterSignal, 0ms);
        EXPECT_LT(r.afterSignal, c.within) << r.out << r.err;
        EXPECT_EQ(r.out.find("after the command"), std::string::npos) << "the script goes no further\n" << r.out;
        if (c.signals.front() == SIGINT) EXPECT_NE(r.err.find(kAbortNotice), std::string::npos) << r.err;
        if (c.endedBy == 0) {
            // The command's frame is closed with the abort as its status.
            EXPECT_NE(r.out.find("[Vexal_Aborting_Script on "), std::string::npos) << r.out;
            EXPECT_NE(r.out.find("SRB_STATUS_ABORTED"), std::string::npos) << r.out;
            EXPECT_NE(r.err.find("the command was given up"), std::string::npos) << r.err;
        }

        // The exit sequence ran: wizard privileges forgotten, the log closed and read-only.
        EXPECT_EQ(setting("Password"), "");
        EXPECT_EQ(setting("PasswordSet"), "0");
        const auto logs = logFiles();
        ASSERT_EQ(logs.size(), 1u);
        const std::string log = readAll(logs[0]);
        EXPECT_NE(log.find("\r\nStop Time: "), std::string::npos) << log;
        if (c.signals.front() == SIGINT) EXPECT_NE(log.find("[Vexal_Aborting_Script on "), std::string::npos) << log;
        struct stat st {};
        ASSERT_EQ(::stat(logs[0].c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0222, 0u) << "the closed log is read-only";
    }
}

}  // namespace
