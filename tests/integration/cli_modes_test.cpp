// vexal-cli and the program's modes: which commands customer mode offers, the pass phrase
// taken the same way by every command, wizard privileges that end with the run however it
// ends, and questions that can destroy something, which no default answers.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#include "app/test_preparation.h"
#include "app/user_settings.h"
#include "integration/watchdog.h"
#include "platform/settings_store.h"
#include "support/fingerprinted_script.h"
#include "support/process_runner.h"
#include "support/test_root.h"

using vexal::testing::ProcessResult;
using vexal::testing::runProcess;
using vexal::testing::runProcessSignalled;

namespace {

namespace fs = std::filesystem;

const std::string kEngineering = "VEXAL_PASSPHRASE=Korvane-Eng42";
const std::string kWizard = "VEXAL_PASSPHRASE=Wz!831";
const std::string kWrongPhrase = "VEXAL_PASSPHRASE=not-the-phrase";
constexpr const char* kRefusedMode = "needs engineering mode: give --engineering.";
constexpr const char* kPhraseRefused = "Engineering mode was not entered";
constexpr const char* kNoOneAnswers = "No one can answer this question here: ";
constexpr const char* kWizardWarning = "WARNING: You will have unrestricted access";

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The commands `vexal-cli --help` lists, each with whether it carries the engineering mark.
std::map<std::string, bool> listedCommands(const std::string& help) {
    std::map<std::string, bool> commands;
    std::istringstream in(help);
    std::string line;
    bool inList = false;
    while (std::getline(in, line)) {
        if (line.rfind("SUBCOMMANDS:", 0) == 0 || line.rfind("Subcommands:", 0) == 0) {
            inList = true;
            continue;
        }
        if (!inList) continue;
        if (line.empty() || line[0] != ' ') break;
        std::istringstream words(line);
        std::string name;
        words >> name;
        if (!name.empty()) commands[name] = line.find("[engineering]") != std::string::npos;
    }
    return commands;
}

class CliModesTest : public ::testing::Test {
protected:
    void SetUp() override {
        image = file("image.img", std::string(3000, 'F'));
        hello = vexal::testing::writeFingerprintedScript(root.path() / "HELLO.SCS",
                                                         "DESCRIPTION hello\nStart:\nMSG hello\nEXIT 0\n")
                    .string();
    }
    // vexal-cli on the virtual bus, the drive tracing each CDB it gets, with `env` set.
    ProcessResult cli(std::vector<std::string> args, std::vector<std::string> env = {}) {
        std::vector<std::string> full = std::move(env);
        full.push_back("VEXAL_VIRTUAL_TRACE=" + trace().string());
        full.insert(full.end(), {VEXAL_CLI_PATH, "--virtual", "--color", "never"});
        full.insert(full.end(), args.begin(), args.end());
        return runProcess("/usr/bin/env", full, 120);
    }
    std::string file(const std::string& name, const std::string& text) {
        const fs::path path = root.path() / name;
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }
    fs::path trace() const { return root.path() / "trace.txt"; }
    // The CDBs the drive got since the last call.
    std::string takeTrace() {
        const std::string text = readAll(trace());
        fs::remove(trace());
        return text;
    }
    static std::string setting(const char* name) {
        vexal::platform::SettingsKey key;
        std::string value;
        if (!key.Open("Mendra") || key.ReadString(name, value) != 0) return "(none)";
        return value;
    }

    vexal::testing::TempRoot root;
    vexal::testing::Watchdog watchdog{std::chrono::seconds(900), "a modes test"};
    std::string image;
    std::string hello;
};

// One line per command: the arguments that make it run (on the tape, device 0), and whether
// the desktop offers it in customer mode.
struct CommandCase {
    std::vector<std::string> args;
    bool customer;
};

std::vector<CommandCase> everyCommand(const std::string& image, const std::string& script, const std::string& dump) {
    return {
        {{"scan"}, true},
        {{"select", "0"}, true},
        {{"inquiry"}, true},
        {{"ready"}, true},
        {{"run", script}, true},
        {{"check", script}, true},
        {{"firmware", image}, true},
        {{"fup-tape", image}, true},
        {{"fadump", "--out", dump}, true},
        {{"mam"}, true},
        {{"load-count-threshold"}, true},
        {{"send-log", "none.txt"}, true},
        {{"send-view", "none.txt"}, true},
        {{"view", "none.txt"}, true},
        {{"settings"}, true},
        {{"serial-port"}, true},
        {{"mode", "customer"}, true},
        {{"tur"}, false},
        {{"request-sense"}, false},
        {{"rewind"}, false},
        {{"load"}, false},
        {{"unload"}, false},
        {{"retension"}, false},
        {{"read-block-limits"}, false},
        {{"read-position"}, false},
        {{"space", "0", "1"}, false},
        {{"locate", "0"}, false},
        {{"mode-sense"}, false},
        {{"mode-select", "00 00 10 00"}, false},
        {{"set-block-size", "0"}, false},
        {{"compression", "on"}, false},
        {{"read", "--transfer-length", "512"}, false},
        {{"write", "--transfer-length", "512"}, false},
        {{"write-filemarks", "1"}, false},
        {{"verify", "--length", "1"}, false},
        {{"erase", "--short"}, false},
        {{"format"}, false},
        {{"read-buffer"}, false},
        {{"write-buffer", "--mode", "5"}, false},
        {{"send-diagnostic"}, false},
        {{"receive-diagnostic"}, false},
        {{"prevent"}, false},
        {{"allow"}, false},
        {{"reserve"}, false},
        {{"release"}, false},
        {{"init-element-status"}, false},
        {{"log-sense", "0x2E"}, false},
        {{"log-select", "--reset"}, false},
        {{"bus-reset"}, false},
        {{"timeout"}, false},
        {{"cdb", "00 00 00 00 00 00"}, false},
        {{"tape-alerts"}, false},
        {{"eeprom"}, false},
        {{"fadump-view", dump}, false},
        {{"test", "write-read"}, false},
        {{"tape-log", "read"}, false},
        {{"read-structure", "eod"}, false},
        {{"debug-trace"}, false},
        {{"fingerprint", script}, false},
    };
}

TEST_F(CliModesTest, CustomerModeOffersWhatTheDesktopOffersAndHelpSaysWhich) {
    const auto help = runProcess(VEXAL_CLI_PATH, {"--help"});
    ASSERT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("[engineering] are offered in engineering mode only"), std::string::npos) << help.out;
    std::map<std::string, bool> listed = listedCommands(help.out);
    ASSERT_FALSE(listed.empty()) << help.out;

    for (const CommandCase& c : everyCommand(image, hello, (root.path() / "dump.dmz").string())) {
        const std::string& name = c.args.front();
        SCOPED_TRACE(name);
        ASSERT_TRUE(listed.count(name)) << "not in --help";
        EXPECT_EQ(listed[name], !c.customer) << "the help's mark";
        listed.erase(name);
        std::vector<std::string> args{"--device", "0"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        takeTrace();
        const auto r = cli(args);
        if (c.customer) {
            EXPECT_EQ(r.err.find(kRefusedMode), std::string::npos) << r.err;
            continue;
        }
        EXPECT_EQ(r.exitCode, 2) << r.out << r.err;
        EXPECT_EQ(r.err, "'" + name + "' " + kRefusedMode + "\n");
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(takeTrace(), "") << "the drive got nothing";
    }
    EXPECT_TRUE(listed.empty()) << listed.begin()->first << " is in no case of this test";

    // Options of an open command that only the engineering menus hold.
    for (const std::vector<std::string>& args : {std::vector<std::string>{"run", "--step", hello},
                                                 std::vector<std::string>{"firmware", "--mode", "4", image}}) {
        const auto r = cli(args);
        EXPECT_EQ(r.exitCode, 2) << args[1] << r.err;
        EXPECT_NE(r.err.find("'" + args[0] + " " + args[1]), std::string::npos) << r.err;
        EXPECT_EQ(takeTrace(), "");
    }
}

TEST_F(CliModesTest, EngineeringModeIsEnteredTheSameWayByEveryCommand) {
    // A wrong pass phrase ends every command before it does anything.
    for (const CommandCase& c : everyCommand(image, hello, (root.path() / "dump.dmz").string())) {
        std::vector<std::string> args{"--engineering", "--device", "0"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        takeTrace();
        const auto r = cli(args, {kWrongPhrase});
        EXPECT_EQ(r.exitCode, 2) << c.args.front() << r.out << r.err;
        EXPECT_NE(r.err.find(kPhraseRefused), std::string::npos) << c.args.front() << r.err;
        EXPECT_EQ(takeTrace(), "") << c.args.front();
    }
    EXPECT_EQ(cli({"mode", "engineering"}, {kWrongPhrase}).exitCode, 2);

    // The pass phrase given opens the engineering commands; a remembered engineering mode
    // opens them in later runs until customer mode is chosen again.
    EXPECT_EQ(cli({"--engineering", "--device", "0", "tur"}, {kEngineering}).exitCode, 0);
    EXPECT_EQ(cli({"--device", "0", "tur"}).exitCode, 2) << "--engineering was for that run";
    ASSERT_EQ(cli({"mode", "engineering"}, {kEngineering}).exitCode, 0);
    auto r = cli({"--device", "0", "tur"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find(" TestUnitReady\n"), std::string::npos) << r.out;
    ASSERT_EQ(cli({"mode", "customer"}).exitCode, 0);
    EXPECT_EQ(cli({"--device", "0", "tur"}).exitCode, 2);
}

TEST_F(CliModesTest, ScanAndSelectFollowTheModeOptions) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::string phrase;  // "" none
        int exitCode;
        const char* said;  // on stdout (exit 0) or stderr
    };
    // In order: each run starts from the settings the one before left.
    const Case cases[] = {
        {"customer selects the tape", {"select", "0"}, "", 0, "Active device 0: KORVANE SKTX VIRTUAL H:0 T:0 L:0"},
        {"customer may not select the disk", {"select", "2"}, "", 3, "It does not appear to be a supported tape"},
        {"engineering may not select the disk", {"--engineering", "select", "2"}, kEngineering, 3,
         "It does not appear to be a supported tape"},
        // The engineering phrase is remembered now and not asked for, but one given is checked.
        {"a wrong phrase, engineering remembered", {"--engineering", "select", "0"}, kWrongPhrase, 2, kPhraseRefused},
        {"a wizard selects the disk", {"--engineering", "--yes", "select", "2"}, kWizard, 0,
         "Active device 2: KORVANE VIRTUAL DISK H:0 T:2 L:0"},
        // The wizard's run forgot every remembered phrase.
        {"select with a wrong phrase", {"--engineering", "select", "0"}, kWrongPhrase, 2, kPhraseRefused},
        {"scan with a wrong phrase", {"--engineering", "scan"}, kWrongPhrase, 2, kPhraseRefused},
        {"a wizard selects the disk at once", {"--engineering", "--yes", "select", "2"}, kWizard, 0,
         "Active device 2: KORVANE VIRTUAL DISK H:0 T:2 L:0"},
    };
    for (const Case& c : cases) {
        const auto r = cli(c.args, c.phrase.empty() ? std::vector<std::string>{} : std::vector{c.phrase});
        EXPECT_EQ(r.exitCode, c.exitCode) << c.name << r.out << r.err;
        EXPECT_NE((c.exitCode == 0 ? r.out : r.err).find(c.said), std::string::npos) << c.name << r.out << r.err;
    }
    // A wizard's scan calls the disk addressable; the next run's does not.
    for (const bool wizard : {true, false}) {
        const auto r = wizard ? cli({"--engineering", "--yes", "--json", "scan"}, {kWizard}) : cli({"--json", "scan"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const auto list = nlohmann::json::parse(r.out, nullptr, false);
        ASSERT_TRUE(list.is_array() && list.size() == 3) << r.out;
        EXPECT_EQ(list[2]["addressable"], wizard);
    }
}

TEST_F(CliModesTest, WizardPrivilegesEndWithTheRunHoweverItEnds) {
    struct Case {
        const char* name;
        std::vector<std::string> args;  // after --engineering --yes
        const char* signalWhen;         // nullptr: it ends by itself
        int signal;
        int exitCode;  // when it ends by itself
    };
    const Case cases[] = {
        {"a command on the disk", {"--device", "2", "tur"}, nullptr, 0, 0},
        {"a command that failed", {"--device", "2", "cdb", "FF 00 00 00 00 00"}, nullptr, 0, 1},
        {"a usage error after the start", {"--device", "2", "mode-select", "ZZ"}, nullptr, 0, 2},
        {"no such device", {"--device", "9", "tur"}, nullptr, 0, 3},
        {"scan", {"scan"}, nullptr, 0, 0},
        {"select", {"select", "2"}, nullptr, 0, 0},
        {"settings", {"settings"}, nullptr, 0, 0},
        {"check", {"check", hello}, nullptr, 0, 0},
        {"fingerprint", {"fingerprint", hello}, nullptr, 0, 0},
        {"mode", {"mode", "engineering"}, nullptr, 0, 0},
        {"mam", {"--device", "2", "mam"}, nullptr, 0, 1},
        {"SIGINT", {"--device", "2", "ready"}, vexal::app::kCheckingReadiness, SIGINT, 0},
        {"SIGTERM", {"--device", "2", "ready"}, vexal::app::kCheckingReadiness, SIGTERM, 0},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{kWizard, VEXAL_CLI_PATH, "--virtual", "--engineering", "--yes"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto r = c.signalWhen ? runProcessSignalled("/usr/bin/env", args, c.signalWhen, c.signal, 120)
                                    : runProcess("/usr/bin/env", args, 120);
        if (c.signal == SIGINT) {
            EXPECT_EQ(r.exitCode, 1) << c.name << r.err;  // the first Ctrl+C aborts the command
        } else if (c.signalWhen) {
            EXPECT_EQ(r.signal, c.signal) << c.name << r.err;
        } else {
            EXPECT_EQ(r.exitCode, c.exitCode) << c.name << r.out << r.err;
        }
        EXPECT_NE(r.err.find(kWizardWarning), std::string::npos) << c.name << ": had wizard privileges\n" << r.err;
        EXPECT_EQ(setting("PasswordSet"), "0") << c.name;
        EXPECT_EQ(setting("Password"), "") << c.name;
        EXPECT_EQ(setting("ShowEngineeringMode"), "0") << c.name;
        // The next run without a pass phrase neither is asked about nor reaches the disk.
        takeTrace();
        const auto next = cli({"--engineering", "--yes", "--device", "2", "tur"});
        EXPECT_EQ(next.exitCode, 2) << c.name << next.err;
        EXPECT_EQ(next.err.find(kWizardWarning), std::string::npos) << c.name << next.err;
        EXPECT_EQ(takeTrace(), "") << c.name;
    }
}

TEST_F(CliModesTest, HazardousQuestionsNeedAnAnswerWhenNoTerminalCanGiveOne) {
    const std::string ok = file("ok.txt", "OK\n");
    const std::string yes = file("yes.txt", "yes\n");
    struct Case {
        const char* name;
        std::vector<std::string> args;  // after --device 0
        const std::string& answers;     // an --answers file that answers it
        const char* question;           // a piece of it
        const char* after;              // in the drive's trace, or on stderr, once it is answered
    };
    const Case cases[] = {
        // With the cartridge in, the update stops at the check that follows the question.
        {"firmware", {"firmware", image}, ok, "will now start the firmware update",
         "Tape must be removed before flashing firmware."},
        {"FUP tape", {"fup-tape", image}, ok, "permanently overwrite data on this tape", "0A 00 00 0B B8 00"},
        {"long erase", {"--engineering", "erase", "--long"}, ok, "Long Erase can take many hours", "19 01"},
        {"format", {"--engineering", "format"}, ok, "Format Medium erases everything", "04 00"},
        {"time-out", {"--engineering", "timeout", "--set", "30"}, yes, "modify the command timeout value",
         "\nTimeout: 30"},
    };
    // Lines that answer nothing: a word that names no button, an empty line.
    const std::string unclear = file("unclear.txt", "maybe\n");
    const std::string empty = file("empty.txt", "\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // What the run left: its exit status, what it said, and what the drive got.
        const auto run = [&](std::vector<std::string> answer) {
            std::vector<std::string> args = std::move(answer);
            args.insert(args.end(), {"--device", "0"});
            args.insert(args.end(), c.args.begin(), c.args.end());
            takeTrace();
            auto r = cli(args, {kEngineering});
            r.out += takeTrace();
            return r;
        };
        for (const auto& none : {std::vector<std::string>{}, std::vector<std::string>{"--answers", unclear},
                                 std::vector<std::string>{"--answers", empty}}) {
            const auto r = run(none);
            EXPECT_EQ(r.exitCode, 2) << r.out << r.err;
            const size_t said = r.err.find(kNoOneAnswers);
            ASSERT_NE(said, std::string::npos) << r.err;
            EXPECT_NE(r.err.find(c.question, said), std::string::npos) << r.err;
            EXPECT_NE(r.err.find("Give --yes or an --answers line", said), std::string::npos) << r.err;
            EXPECT_EQ((r.out + r.err).find(c.after), std::string::npos) << "it went on:\n" << r.out << r.err;
        }
        for (const auto& answer : {std::vector<std::string>{"--yes"}, std::vector<std::string>{"--answers", c.answers}}) {
            const auto r = run(answer);
            EXPECT_EQ(r.err.find(kNoOneAnswers), std::string::npos) << r.err;
            EXPECT_NE(r.exitCode, 2) << answer.back() << r.out << r.err;
            EXPECT_NE((r.out + r.err).find(c.after), std::string::npos) << answer.back() << r.out << r.err;
        }
        // --no answers too: the command is cancelled, not refused.
        const auto r = run({"--no"});
        EXPECT_EQ(r.err.find(kNoOneAnswers), std::string::npos) << r.err;
        EXPECT_NE(r.exitCode, 2) << r.err;
        EXPECT_EQ((r.out + r.err).find(c.after), std::string::npos) << r.out << r.err;
    }
    // Answers that cannot be read are no answers at all.
    for (const std::string& answers : {(root.path() / "missing.txt").string(), root.path().string()}) {
        const auto r = cli({"--answers", answers, "--device", "0", "fup-tape", image});
        EXPECT_EQ(r.exitCode, 2) << answers;
        EXPECT_NE(r.err.find("Cannot read the answers file " + answers), std::string::npos) << r.err;
        EXPECT_EQ(takeTrace(), "");
    }
}

}  // namespace
