// vexal-cli on the session layer: the readiness check, runs on several devices, settings by
// name, Send Log, a saved view, the exit sequence on every way out (normal, error, SIGINT,
// SIGTERM) and the report of lost session-log lines.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "app/lost_log_line.h"
#include "app/pass_phrases.h"
#include "app/test_preparation.h"
#include "app/user_settings.h"
#include "document/multi_device_run.h"
#include "device/device_selection.h"
#include "integration/watchdog.h"
#include "log/send_log.h"
#include "platform/paths.h"
#include "platform/settings_store.h"
#include "support/fingerprinted_script.h"
#include "support/process_runner.h"
#include "support/test_root.h"

using vexal::testing::ProcessResult;
using vexal::testing::runProcess;
using vexal::testing::runProcessSignalled;

namespace {

namespace fs = std::filesystem;

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class CliSessionLayerTest : public ::testing::Test {
protected:
    // vexal-cli on the virtual bus with `env` (NAME=VALUE) set for it.
    ProcessResult cli(std::vector<std::string> args, std::vector<std::string> env = {}, int timeout = 120) {
        std::vector<std::string> full = std::move(env);
        full.insert(full.end(), {VEXAL_CLI_PATH, "--virtual", "--color", "never"});
        full.insert(full.end(), args.begin(), args.end());
        return runProcess("/usr/bin/env", full, timeout);
    }
    ProcessResult cliSignalled(std::vector<std::string> args, const std::string& when, int signal) {
        std::vector<std::string> full{"--virtual", "--color", "never"};
        full.insert(full.end(), args.begin(), args.end());
        return runProcessSignalled(VEXAL_CLI_PATH, full, when, signal, 120);
    }
    // A script with its fingerprint, so that it loads in customer mode too.
    std::string script(const std::string& name, const std::string& text) {
        return vexal::testing::writeFingerprintedScript(root.path() / name, text).string();
    }
    std::string file(const std::string& name, const std::string& text) {
        const fs::path path = root.path() / name;
        std::ofstream(path) << text;
        return path.string();
    }
    static std::string setting(const char* name) {
        vexal::platform::SettingsKey key;
        std::string value;
        if (!key.Open("Mendra") || key.ReadString(name, value) != 0) return "(none)";
        return value;
    }
    static std::vector<fs::path> logFiles() {
        std::vector<fs::path> files;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(vexal::platform::installPath() / "Logs", ec))
            if (e.path().extension() == ".txt" && e.path().filename() != "View.txt") files.push_back(e.path());
        return files;
    }
    // Wizard privileges remembered from an earlier run: the next start asks the warning.
    static void rememberWizard() {
        vexal::app::UserSettings settings;
        ASSERT_TRUE(vexal::app::LoadSettings(settings));
        ASSERT_TRUE(vexal::app::WriteSetting("Password", vexal::app::wizardDigest()));
        ASSERT_TRUE(vexal::app::WriteSetting("PasswordSet", 1));
        ASSERT_TRUE(vexal::app::WriteSetting("ShowEngineeringMode", 1));
    }

    vexal::testing::TempRoot root;
    vexal::testing::Watchdog watchdog{std::chrono::seconds(600), "a session test"};
};

TEST_F(CliSessionLayerTest, ReadinessCheckFollowsTheLastTestUnitReady) {
    struct Case {
        const char* profile;  // target 0 of the bus; nullptr: one whose late commands fail
        int exitCode;
        const char* verdict;
    };
    const Case cases[] = {
        {"type = tape\n", 0, vexal::app::kWizardReady},
        {"type = tape\ncartridge = no\n", 0, vexal::app::kWizardReady},  // no medium is ready for a test
        {"type = tape\nunit_attention = yes\n", 0, vexal::app::kWizardReady},
        {"type = tape\nnot_ready_seconds = 2\n", 0, vexal::app::kWizardReady},  // becoming ready: asked again
        {nullptr, 1, vexal::app::kWizardNotReady},  // see `failing` below
    };
    // How many commands the drive gets before the check's five TEST UNIT READY commands (the
    // scan's and the device's own), read from the drive's trace.
    const fs::path trace = root.path() / "trace.txt";
    const std::string alone = file("alone.ini", "[target 0]\ntype = tape\n");
    ASSERT_EQ(runProcess("/usr/bin/env", {"VEXAL_VIRTUAL_TRACE=" + trace.string(), VEXAL_CLI_PATH,
                                          "--virtual=" + alone, "--device", "0", "ready"})
                  .exitCode,
              0);
    const std::string traced = readAll(trace);
    const auto commands = static_cast<size_t>(std::count(traced.begin(), traced.end(), '\n'));
    ASSERT_GT(commands, 5u) << traced;
    const size_t before = commands - 5;
    // Two rounds pass, the rest end in bus free.
    const std::string failing = "type = tape\ndisconnect_after = " + std::to_string(before + 3) + "\n";
    for (const Case& c : cases) {
        const std::string profile =
            file("ready.ini", std::string("[target 0]\n") + (c.profile ? c.profile : failing.c_str()));
        const auto r = runProcess(VEXAL_CLI_PATH, {"--virtual=" + profile, "--device", "0", "ready"}, 120);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.profile << r.out << r.err;
        EXPECT_NE(r.out.find(c.verdict), std::string::npos) << c.profile << r.out;
        EXPECT_NE(r.err.find(vexal::app::kCheckingReadiness), std::string::npos) << r.err;
    }
    // --json: one document with the verdict and the last status.
    const auto r = runProcess(VEXAL_CLI_PATH, {"--virtual=" + alone, "--device", "0", "--json", "ready"}, 120);
    EXPECT_EQ(r.exitCode, 0);
    const auto j = nlohmann::json::parse(r.out, nullptr, false);
    ASSERT_TRUE(j.is_object()) << r.out;
    EXPECT_EQ(j["ready"], true);
    EXPECT_EQ(j["status"].get<std::string>().rfind("SCSI_GOOD", 0), 0u) << r.out;
}

TEST_F(CliSessionLayerTest, SettingsAreCheckedBeforeTheyAreStored) {
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        const char* name;    // the setting read back afterwards
        const char* stored;  // its value then
        const char* said;    // on stdout (exit 0) or stderr
    };
    const Case cases[] = {
        {{"set", "Transport", "iscsi"}, 0, "Transport", "iscsi", "Transport=iscsi"},
        {{"set", "Transport", "tape"}, 2, "Transport", "iscsi", "'tape' is not a value for Transport"},
        {{"set", "IscsiPortals", "10.0.0.7:3261;tgt.example"}, 0, "IscsiPortals", "10.0.0.7:3261;tgt.example", ""},
        {{"set", "IscsiPortals", "host:99999"}, 2, "IscsiPortals", "10.0.0.7:3261;tgt.example", "not a portal"},
        {{"set", "serialport", "/dev/ttyUSB0"}, 0, "SerialPort", "/dev/ttyUSB0", "SerialPort=/dev/ttyUSB0"},
        {{"set", "SerialPort", "tty S0"}, 2, "SerialPort", "/dev/ttyUSB0", "without blanks"},
        {{"set", "TapeAlertSet", "0"}, 0, "TapeAlertSet", "0", ""},
        {{"set", "TapeAlertSet", "2"}, 2, "TapeAlertSet", "0", "use 1 (on) or 0 (off)"},
        {{"set", "ErrorClr", "0x00FF00"}, 0, "ErrorClr", "65280", "ErrorClr=65280"},
        {{"set", "ErrorClr", "0x1000000"}, 2, "ErrorClr", "65280", "not a value for ErrorClr"},
        {{"set", "ErrorClr", "red"}, 2, "ErrorClr", "65280", "not a value for ErrorClr"},
        {{"set", "Password", "x"}, 2, "Password", "", "There is no setting 'Password'"},
        {{"set", "Transport"}, 2, "Transport", "iscsi", "needs a NAME and a VALUE"},
        {{"get", "Nope"}, 2, "Transport", "iscsi", "There is no setting 'Nope'"},
        {{"get", "TapeAlertSet"}, 0, "TapeAlertSet", "0", "0\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"settings"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto r = runProcess(VEXAL_CLI_PATH, args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args[1] << " " << r.out << r.err;
        EXPECT_NE((c.exitCode == 0 ? r.out : r.err).find(c.said), std::string::npos) << r.out << r.err;
        EXPECT_EQ(setting(c.name), c.stored) << c.args[1];
    }
    // The list names every setting that can be set, with its value.
    const auto list = runProcess(VEXAL_CLI_PATH, {"settings", "list"});
    EXPECT_EQ(list.exitCode, 0);
    for (const char* line : {"Transport=iscsi\n", "SerialPort=/dev/ttyUSB0\n", "ScriptMsgsClr=15728640\n"})
        EXPECT_NE(list.out.find(line), std::string::npos) << line << list.out;
    // A transport that is set is the one the next run uses.
    ASSERT_EQ(runProcess(VEXAL_CLI_PATH, {"settings", "set", "Transport", "virtual"}).exitCode, 0);
    const auto scan = runProcess(VEXAL_CLI_PATH, {"scan"});
    EXPECT_NE(scan.out.find("SKTX VIRTUAL"), std::string::npos) << scan.out << scan.err;
}

TEST_F(CliSessionLayerTest, RunOnSeveralDevicesTestsEachInItsFrames) {
    const std::string hello = script("HELLO.SCS", "DESCRIPTION hello\nStart:\nMSG hello from the drive\nEXIT 0\n");
    auto r = cli({"run", "--device", "0", "--device", "0:1:0", hello});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(count(r.out, "hello from the drive"), 2u);
    EXPECT_EQ(count(r.out, "[Vexal_Starting_Script on "), 2u);
    EXPECT_EQ(count(r.out, "[Vexal_Ending_Script on "), 2u);
    const auto first = r.out.find("[Vexal_Device 0 SKTX VIRTUAL H:0 T:0 L:0");
    const auto second = r.out.find("[Vexal_Device 1 VIRTUAL LOADER H:0 T:1 L:0");
    ASSERT_NE(first, std::string::npos) << r.out;
    ASSERT_NE(second, std::string::npos) << r.out;
    EXPECT_LT(first, r.out.find("[Vexal_Starting_Script on "));
    EXPECT_LT(r.out.find("[Vexal_Ending_Script on "), second) << "the first drive's frames close before the next";
    EXPECT_EQ(r.err.find(vexal::document::kContinueRemainingQuestion), std::string::npos) << "asked only after an abort";

    // A device that may not be addressed is left out and makes the run's status 3.
    r = cli({"run", "--device", "0", "--device", "2", "--device", "1", hello});
    EXPECT_EQ(r.exitCode, 3) << r.out << r.err;
    EXPECT_NE(r.err.find(vexal::device::kRemovedFromSelectionMessage), std::string::npos) << r.err;
    EXPECT_EQ(count(r.out, "hello from the drive"), 2u);

    // A script with errors on the drives: the worst outcome is the status.
    const std::string bad = script("BAD.SCS", "DESCRIPTION bad\nStart:\nMSG before\nSCSI Nothing\nEXIT 0\n");
    r = cli({"--yes", "run", "--device", "0", "--device", "1", bad});
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;

    r = cli({"run", "--device", "0", "--device", "7", hello});
    EXPECT_EQ(r.exitCode, 3) << r.out << r.err;
    EXPECT_NE(r.err.find("There is no device 7"), std::string::npos) << r.err;
}

TEST_F(CliSessionLayerTest, AnAbortAsksWhetherToGoOnWithTheRemainingDrives) {
    const std::string waiting =
        script("WAIT.SCS", "DESCRIPTION wait\nStart:\nMSG waiting for the operator\nSLEEP 8000\nEXIT 0\n");
    struct Case {
        const char* answer;
        size_t drivesStarted;
    };
    for (const Case& c : {Case{"No", 1}, Case{"Yes", 2}}) {
        const std::string answers = file("answers.txt", std::string(c.answer) + "\n");
        // Only the first drive's run is interrupted: the second sleeps its 8 s out when it runs.
        const auto r = cliSignalled({"--answers", answers, "run", "--device", "0", "--device", "1", waiting},
                                    "waiting for the operator", SIGINT);
        EXPECT_EQ(r.signal, 0) << "an interrupted run ends by itself";
        EXPECT_EQ(r.exitCode, 1) << c.answer << r.out << r.err;
        EXPECT_NE(r.out.find("[Vexal_Aborting_Script on "), std::string::npos) << r.out;
        EXPECT_EQ(count(r.err, vexal::document::kContinueRemainingQuestion), 1u) << r.err;
        EXPECT_EQ(count(r.out, "[Vexal_Starting_Script on "), c.drivesStarted) << c.answer << r.out;
    }
}

TEST_F(CliSessionLayerTest, ExitSequenceRunsOnEveryWayOut) {
    const std::string waitScript =
        script("WAIT.SCS", "DESCRIPTION wait\nStart:\nMSG waiting for a signal\nSLEEP 8000\nEXIT 0\n");
    struct Case {
        const char* name;
        std::vector<std::string> args;
        const char* signalWhen;  // nullptr: no signal
        int signal;
        int exitCode;     // when it exits
        int endedBy;      // the signal it ends by, 0 when it exits
        bool logWritten;  // a session log was open
    };
    const Case cases[] = {
        {"normal return", {"--yes", "--log", "tur"}, nullptr, 0, 0, 0, true},
        {"error return", {"--yes", "--device", "9", "tur"}, nullptr, 0, 3, 0, false},
        {"SIGTERM in a command", {"--yes", "--log", "ready"}, vexal::app::kCheckingReadiness, SIGTERM, -1, SIGTERM, true},
        // The first Ctrl+C aborts the command and the program ends by itself.
        {"SIGINT in a command", {"--yes", "--log", "ready"}, vexal::app::kCheckingReadiness, SIGINT, 1, 0, true},
        {"SIGTERM in a run", {"--yes", "--log", "run", waitScript}, "waiting for a signal", SIGTERM, 1, 0, true},
    };
    for (const Case& c : cases) {
        for (const auto& f : logFiles()) fs::remove(f);
        rememberWizard();
        const auto r = c.signalWhen ? cliSignalled(c.args, c.signalWhen, c.signal)
                                    : cli(c.args);
        EXPECT_EQ(r.signal, c.endedBy) << c.name << r.out << r.err;
        if (c.endedBy == 0) EXPECT_EQ(r.exitCode, c.exitCode) << c.name << r.out << r.err;
        EXPECT_NE(r.err.find("WARNING: You will have unrestricted access"), std::string::npos) << c.name << r.err;
        // Wizard privileges never outlive the program.
        EXPECT_EQ(setting("Password"), "") << c.name;
        EXPECT_EQ(setting("PasswordSet"), "0") << c.name;
        const auto logs = logFiles();
        ASSERT_EQ(logs.size(), c.logWritten ? 1u : 0u) << c.name;
        if (!c.logWritten) continue;
        EXPECT_NE(readAll(logs[0]).find("\r\nStop Time: "), std::string::npos) << c.name << readAll(logs[0]);
        struct stat st {};
        ASSERT_EQ(::stat(logs[0].c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0222, 0u) << c.name << ": the closed log is read-only";
    }
}

TEST_F(CliSessionLayerTest, TheFirstLostLogLineIsReportedOnceWithItsReason) {
    // The header of a log file, measured on this machine: the limit lets it through and
    // stops the command lines after it.
    ASSERT_EQ(cli({"--log", "--engineering", "tur"}, {"VEXAL_PASSPHRASE=Korvane-Eng42"}).exitCode, 0);
    auto logs = logFiles();
    ASSERT_EQ(logs.size(), 1u);
    const std::string whole = readAll(logs[0]);
    const size_t header = whole.find("[Vexal_Command_Sent");
    ASSERT_NE(header, std::string::npos) << whole;
    fs::remove(logs[0]);

    const std::string limit = "--fsize=" + std::to_string(header + 8);
    const auto r = runProcess("/usr/bin/env",
                              {"VEXAL_PASSPHRASE=Korvane-Eng42", "/usr/bin/prlimit", limit, VEXAL_CLI_PATH, "--virtual",
                               "--color", "never", "--log", "--engineering", "inquiry"});
    EXPECT_EQ(r.exitCode, 0) << "a lost log line does not fail the command\n" << r.out << r.err;
    const std::string report = vexal::app::LostLogLineText(EFBIG);
    EXPECT_NE(report.find("File too large"), std::string::npos) << report;
    EXPECT_EQ(count(r.err, report), 1u) << r.err;
    EXPECT_EQ(count(r.out, report), 1u) << "the view shows it too\n" << r.out;
    EXPECT_NE(r.out.find(" Inquiry"), std::string::npos) << "the view keeps every line\n" << r.out;
    logs = logFiles();
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(readAll(logs[0]).find("Inquiry"), std::string::npos);
}

TEST_F(CliSessionLayerTest, SendLogHandsTheFileToTheMailProgram) {
    // A stand-in for xdg-email: records its arguments and the signals it starts with
    // blocked (none, whatever vexal-cli blocks), ends with the status asked for. Perl,
    // because a shell clears its signal mask when it starts.
    const fs::path args = root.path() / "mail-args.txt";
    const fs::path blocked = root.path() / "mail-blocked.txt";
    const std::string mailer = file(
        "mailer.pl", "#!/usr/bin/perl\nopen(my $a, '>', '" + args.string() + "'); print $a \"$_\\n\" for @ARGV;\n" +
                         "open(my $s, '<', '/proc/self/status'); open(my $b, '>', '" + blocked.string() +
                         "'); print $b grep { /^SigBlk/ } <$s>;\nexit($ENV{MAIL_STATUS} // 0);\n");
    fs::permissions(mailer, fs::perms::owner_all);
    const std::string log = file("session.txt", "a log\n");
    struct Case {
        const char* status;  // the mail program's exit status
        int exitCode;
        const char* message;  // nullptr: nothing said
    };
    const Case cases[] = {
        {"0", 0, nullptr},
        {"3", 1, "There was no default logon, no default mail client"},
        {"2", 1, "The specified attachment was not found."},
        {"4", 1, "One or more unspecified errors occurred."},
    };
    for (const Case& c : cases) {
        fs::remove(args);
        const auto r = cli({"send-log", log}, {"VEXAL_MAIL_PROGRAM=" + mailer, std::string("MAIL_STATUS=") + c.status});
        EXPECT_EQ(r.exitCode, c.exitCode) << c.status << r.err;
        EXPECT_EQ(readAll(args), std::string("--subject\n") + std::string(vexal::log::kMailSubject) + "\n--attach\n" +
                                     log + "\n");
        if (c.message) EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        else EXPECT_EQ(r.err, "");
        EXPECT_EQ(readAll(blocked), "SigBlk:\t0000000000000000\n");
    }
    // The file is asked for when not given: an answer names it.
    fs::remove(args);
    const std::string answers = file("answers.txt", log + "\n");
    auto r = cli({"--answers", answers, "send-log"}, {"VEXAL_MAIL_PROGRAM=" + mailer});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(readAll(args).find(log), std::string::npos);
    r = cli({"send-log", log}, {"VEXAL_MAIL_PROGRAM=" + (root.path() / "no-such-mailer").string()});
    EXPECT_EQ(r.exitCode, 4) << r.err;
}

TEST_F(CliSessionLayerTest, ASavedViewIsShownAndSentAsTheViewDrawsIt) {
    const std::string show = script("SHOW.SCS", "DESCRIPTION show\nStart:\nMSG a line of the view\nEXIT 0\n");
    const fs::path saved = root.path() / "saved.txt";
    ASSERT_EQ(cli({"--save", saved.string(), "run", show}).exitCode, 0);
    auto r = runProcess(VEXAL_CLI_PATH, {"--color", "never", "view", saved.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\na line of the view\n"), std::string::npos) << "shown without its prefix\n" << r.out;
    EXPECT_EQ(r.out.rfind("[Vexal_Log_View", 0), 0u) << r.out;
    EXPECT_EQ(r.out.find('\r'), std::string::npos);
    r = runProcess(VEXAL_CLI_PATH, {"--json", "view", saved.string()});
    EXPECT_EQ(r.exitCode, 0);
    const auto viewed = nlohmann::json::parse(r.out, nullptr, false);
    ASSERT_TRUE(viewed.is_object()) << r.out;
    const auto& lines = viewed["lines"];
    EXPECT_EQ(lines.front().get<std::string>().rfind("[Vexal_Log_View", 0), 0u) << r.out;
    EXPECT_NE(std::find(lines.begin(), lines.end(), "a line of the view"), lines.end()) << r.out;
    r = runProcess(VEXAL_CLI_PATH, {"view", (root.path() / "missing.txt").string()});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("Cannot open the view"), std::string::npos) << r.err;

    // Send View mails the view as View.txt in the Logs folder.
    const fs::path args = root.path() / "mail-args.txt";
    const std::string mailer = file("mailer.sh", "#!/bin/sh\nprintf '%s\\n' \"$@\" > " + args.string() + "\n");
    fs::permissions(mailer, fs::perms::owner_all);
    r = cli({"send-view", saved.string()}, {"VEXAL_MAIL_PROGRAM=" + mailer});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const fs::path view = vexal::platform::installPath() / "Logs" / "View.txt";
    EXPECT_NE(readAll(args).find(view.string()), std::string::npos) << readAll(args);
    EXPECT_EQ(readAll(view), readAll(saved));
}

TEST_F(CliSessionLayerTest, BusResetGoesThroughTheResetWorker) {
    const auto r = cli({"--engineering", "bus-reset"}, {"VEXAL_PASSPHRASE=Korvane-Eng42"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(count(r.out, "\n ResetBus\n"), 1u) << r.out;
    EXPECT_NE(r.out.find("SCSI_GOOD"), std::string::npos) << r.out;
}

}  // namespace
