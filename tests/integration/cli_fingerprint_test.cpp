// Script fingerprints through vexal-cli: which loads demand one (customer mode while no pass
// phrase is remembered), what counts as a match, the fingerprint command that writes one,
// and the fingerprints the build ships with the example scripts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "support/process_runner.h"
#include "support/test_root.h"

using vexal::testing::ProcessResult;
using vexal::testing::runProcess;

namespace {

namespace fs = std::filesystem;

constexpr const char* kPhrase = "VEXAL_PASSPHRASE=Korvane-Eng42";
constexpr const char* kFingerprintError = "Error : K_PHASE1_FILE_FINGERPRINT_ERROR";
constexpr const char* kIncludeError = "Error : K_PHASE1_INCLUDE_SEQ_FILE_ERROR";

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

// Where the program keeps its settings: a fresh root has no pass phrase remembered; the
// engineering root remembers one after its first --engineering run, as a technician's
// machine does.
enum class Mode { CustomerFresh, CustomerRemembered, Engineering };

class CliFingerprintTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(engineeringRoot);
        // The engineering root remembers the pass phrase from here on.
        ASSERT_EQ(cli(Mode::Engineering, {"settings"}).exitCode, 0);
    }

    ProcessResult cli(Mode mode, const std::vector<std::string>& args) {
        std::vector<std::string> full{"VEXAL_ROOT=" + (mode == Mode::CustomerFresh ? root.path() : engineeringRoot).string()};
        if (mode == Mode::Engineering) full.push_back(kPhrase);
        full.insert(full.end(), {VEXAL_CLI_PATH, "--virtual", "--color", "never", "--device", "0"});
        if (mode == Mode::Engineering) full.push_back("--engineering");
        full.insert(full.end(), args.begin(), args.end());
        return runProcess("/usr/bin/env", full, 60);
    }

    // A script in a folder of its own, fingerprinted by the program in engineering mode.
    fs::path fingerprinted(const std::string& name, const std::string& text) {
        const fs::path folder = root.path() / "scripts" / name;
        fs::create_directories(folder);
        const fs::path script = folder / (name + ".SCS");
        writeFile(script, text);
        const auto r = cli(Mode::Engineering, {"fingerprint", script.string()});
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
        EXPECT_NE(r.out.find("Fingerprint written: " + (folder / (name + ".FPF")).string()), std::string::npos) << r.out;
        return script;
    }

    vexal::testing::TempRoot root;
    const fs::path engineeringRoot = root.path() / "engineering";
};

std::string scriptText(const std::string& message) {
    return "DESCRIPTION " + message + "\nStart:\nMSG " + message + "\nEXIT 0\n";
}

TEST_F(CliFingerprintTest, OnlyCustomerModeWithoutAPassPhraseDemandsAMatchingFingerprint) {
    enum class Fpf { None, Right, Short127, Long129, ScriptEditedAfter, IncludeWithout };
    struct Case {
        const char* name;
        Fpf fpf;
        Mode mode;
        const char* error;  // the trail's error, or nullptr: the script loads and runs
    };
    const Case cases[] = {
        {"NOFPF", Fpf::None, Mode::CustomerFresh, kFingerprintError},
        {"SHORT", Fpf::Short127, Mode::CustomerFresh, kFingerprintError},
        {"LONG", Fpf::Long129, Mode::CustomerFresh, kFingerprintError},
        {"EDITED", Fpf::ScriptEditedAfter, Mode::CustomerFresh, kFingerprintError},
        {"INCLUDER", Fpf::IncludeWithout, Mode::CustomerFresh, kIncludeError},
        {"RIGHT", Fpf::Right, Mode::CustomerFresh, nullptr},
        {"ENGINEER", Fpf::None, Mode::Engineering, nullptr},
        {"REMEMBER", Fpf::None, Mode::CustomerRemembered, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string message = std::string(c.name) + " ran";
        fs::path script;
        switch (c.fpf) {
        case Fpf::None:
            script = root.path() / (std::string(c.name) + ".SCS");
            writeFile(script, scriptText(message));
            break;
        case Fpf::Right:
            script = fingerprinted(c.name, scriptText(message));
            break;
        case Fpf::Short127:
        case Fpf::Long129: {
            script = fingerprinted(c.name, scriptText(message));
            const fs::path fpf = script.parent_path() / (std::string(c.name) + ".FPF");
            std::string bytes = readFile(fpf);
            ASSERT_EQ(bytes.size(), 128u);
            if (c.fpf == Fpf::Short127) bytes.pop_back();
            else bytes.push_back('\0');
            writeFile(fpf, bytes);
            break;
        }
        case Fpf::ScriptEditedAfter: {
            // Same length, one letter changed: only the byte sum tells.
            script = fingerprinted(c.name, scriptText(message));
            std::string text = readFile(script);
            text[text.find(" ran")] = '_';
            writeFile(script, text);
            break;
        }
        case Fpf::IncludeWithout:
            // A file the script includes is held to the same demand: this one has no
            // fingerprint of its own.
            script = fingerprinted(c.name, "#INCLUDE PART.SCS\n" + scriptText(message));
            writeFile(script.parent_path() / "PART.SCS", "MSG included part\n");
            break;
        }
        const auto check = cli(c.mode, {"check", script.string()});
        const auto run = cli(c.mode, {"--yes", "run", script.string()});
        if (c.error) {
            EXPECT_EQ(check.exitCode, 1) << check.out << check.err;
            EXPECT_NE(check.out.find(c.error), std::string::npos) << check.out;
            EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
            EXPECT_NE(run.out.find(c.error), std::string::npos) << run.out;
            EXPECT_EQ(run.out.find(message), std::string::npos) << run.out;
        } else {
            EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
            EXPECT_NE(check.out.find("Phase 3 Complete."), std::string::npos) << check.out;
            EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
            EXPECT_NE(run.out.find(message), std::string::npos) << run.out;
        }
    }
}

TEST_F(CliFingerprintTest, TheFingerprintCommandIsForEngineeringModeAndReportsEachScript) {
    const fs::path good = root.path() / "GOOD.SCS";
    writeFile(good, scriptText("good"));

    // Customer mode: refused before any file is written, whether a pass phrase is
    // remembered or not.
    for (Mode mode : {Mode::CustomerFresh, Mode::CustomerRemembered}) {
        const auto r = cli(mode, {"fingerprint", good.string()});
        EXPECT_EQ(r.exitCode, 2) << r.out << r.err;
        EXPECT_NE(r.err.find("needs engineering mode: give --engineering."), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(root.path() / "GOOD.FPF"));
    }

    // A missing script and a fingerprint file named as a script fail, each with its
    // sentence; the good script between them still gets its fingerprint, the other
    // fingerprint stays as it was.
    const fs::path other = root.path() / "OTHER.FPF";
    writeFile(other, std::string(128, 'x'));
    const auto r = cli(Mode::Engineering, {"fingerprint", (root.path() / "MISSING.SCS").string(), good.string(),
                                           other.string()});
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    EXPECT_NE(r.err.find("Cannot read the script " + (root.path() / "MISSING.SCS").string() + "."), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find(other.string() + " is a fingerprint file, not a script."), std::string::npos) << r.err;
    EXPECT_EQ(readFile(other), std::string(128, 'x'));
    EXPECT_EQ(readFile(root.path() / "GOOD.FPF").size(), 128u);
    EXPECT_EQ(cli(Mode::CustomerFresh, {"check", good.string()}).exitCode, 0);

    // A fingerprint that no longer matches is replaced, nothing is left beside it.
    writeFile(good, scriptText("good, edited"));
    EXPECT_EQ(cli(Mode::CustomerFresh, {"check", good.string()}).exitCode, 1);
    EXPECT_EQ(cli(Mode::Engineering, {"fingerprint", good.string()}).exitCode, 0);
    EXPECT_EQ(cli(Mode::CustomerFresh, {"check", good.string()}).exitCode, 0);
    for (const auto& entry : fs::directory_iterator(root.path()))
        EXPECT_EQ(entry.path().filename().string().find("GOOD.FPF."), std::string::npos) << entry.path();
}

TEST_F(CliFingerprintTest, TheBuildShipsTheExampleScriptsWithMatchingFingerprints) {
    const fs::path shipped = VEXAL_EXAMPLES_DIR;
    const fs::path sources = fs::path(VEXAL_SOURCE_DIR) / "examples" / "scripts";
    int examples = 0;
    for (const auto& entry : fs::directory_iterator(sources)) {
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        ++examples;
        // The shipped copy is the script as written, and its fingerprint is the one the
        // program writes for it.
        EXPECT_EQ(readFile(shipped / name), readFile(entry.path()));
        const fs::path copy = root.path() / name;
        fs::copy_file(entry.path(), copy);
        ASSERT_EQ(cli(Mode::Engineering, {"fingerprint", copy.string()}).exitCode, 0);
        const std::string stem = entry.path().stem().string();
        EXPECT_EQ(readFile(shipped / (stem + ".FPF")), readFile(root.path() / (stem + ".FPF")));
        // And it loads where the fingerprint is demanded.
        const auto r = cli(Mode::CustomerFresh, {"check", (shipped / name).string()});
        EXPECT_EQ(r.exitCode, 0) << r.out;
    }
    EXPECT_GT(examples, 0);
}

}  // namespace
