// Hostile input to vexal-cli: scripts made of random bytes, megabyte lines, include chains
// hundreds deep and in circles, absurd buffer sizes, and malformed command-line arguments.
// Each is refused with its error or usage message and exit status, in bounded time and
// memory, never with a crash.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>

#include "integration/watchdog.h"
#include "support/fingerprinted_script.h"
#include "support/process_runner.h"
#include "support/test_root.h"

using namespace std::chrono_literals;
using vexal::testing::runProcess;

namespace {

namespace fs = std::filesystem;

class HostileInputTest : public ::testing::Test {
protected:
    fs::path write(const std::string& name, const std::string& text) {
        const fs::path path = root.path() / name;
        return vexal::testing::writeFingerprintedScript(path, text);
    }
    vexal::testing::TempRoot root;
    vexal::testing::Watchdog watchdog{300s, "a hostile input test"};
};

std::string randomBytes(size_t size, unsigned seed, bool printable) {
    std::mt19937 rng(seed);
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 []{}=<>!#%',.*+-/;:\"\n\t";
    std::string s(size, '\0');
    for (char& c : s)
        c = printable ? alphabet[rng() % alphabet.size()] : static_cast<char>(rng() & 0xFF);
    return s;
}

TEST_F(HostileInputTest, ScriptsThatCannotLoadAreRefusedWithTheirError) {
    // A chain of 500 files each including the next, and a circle of 32.
    for (int i = 0; i < 500; ++i)
        write("DEEP" + std::to_string(i) + ".SCS", "#INCLUDE DEEP" + std::to_string(i + 1) + ".SCS\nBYTE v" +
                                                        std::to_string(i) + " = 1\n");
    write("DEEP500.SCS", "MSG the end\n");
    for (int i = 0; i < 32; ++i)
        write("RING" + std::to_string(i) + ".SCS", "#INCLUDE RING" + std::to_string((i + 1) % 32) + ".SCS\n");
    write("SELF.SCS", "#INCLUDE SELF.SCS\n");

    struct Case {
        const char* name;
        std::string text;   // written to <name>.SCS unless the file exists already
        const char* error;  // a line of the trail, or nullptr: any load error
    };
    const Case cases[] = {
        {"RANDOM", randomBytes(1 << 20, 1, false), "K_PHASE1_FILE_UNLOCK_ERROR"},
        {"NOISE", randomBytes(1 << 20, 2, true), nullptr},
        {"LONGMSG", "MSG " + std::string(4 << 20, 'A') + "\nUNKNOWNWORD\n", nullptr},
        {"LONGNAME", "BYTE " + std::string(2 << 20, 'a') + " = 1\nUNKNOWNWORD\n", nullptr},
        {"PARENS", "LONG x = 0\nIF " + std::string(500000, '(') + "x\n", nullptr},
        {"FORMATS", "LONG x = 1\nPRINT SCREEN '" + std::string(300000, '%') + "d' x\nUNKNOWNWORD\n", nullptr},
        {"DEEP0", "", "K_PHASE1_INCLUDE_SEQ_FILE_ERROR"},
        {"RING0", "", "K_PHASE1_FILE_DUPLICATION_ERROR"},
        {"SELF", "", "K_PHASE1_FILE_DUPLICATION_ERROR"},
        {"BUF4G", "BUFFER X [ 4000000000 ]\nMSG x\n", "BUFF_HANDLER_INVALID_SIZE_SPECIFIER"},
        {"BUFMAX", "BUFFER X [ 4294967295 ]\nMSG x\n", "BUFF_HANDLER_INVALID_SIZE_SPECIFIER"},
        {"BUFHUGE", "BUFFER X [ 99999999999999999999 ]\nMSG x\n", "BUFF_HANDLER_INVALID_SIZE_SPECIFIER"},
        {"BUFNEG", "BUFFER X [ -1 ]\nMSG x\n", "BUFF_HANDLER_INVALID_SIZE_SPECIFIER"},
        {"BUFHEX", "BUFFER X [ FFFFFFFFH ]\nMSG x\n", nullptr},
        {"BUFMANY", [] {
             std::string s;
             for (int i = 0; i < 200; ++i) s += "BUFFER B" + std::to_string(i) + " [ 16777215 ]\n";
             return s;
         }(), nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path script = root.path() / (std::string(c.name) + ".SCS");
        if (!fs::exists(script)) write(script.filename().string(), c.text);
        const auto started = std::chrono::steady_clock::now();
        const auto r = runProcess(VEXAL_CLI_PATH, {"--virtual", "check", script.string()}, 60);
        EXPECT_LT(std::chrono::steady_clock::now() - started, 30s);
        EXPECT_EQ(r.exitCode, 1) << r.err;
        if (c.error) EXPECT_NE(r.out.find(std::string("Error : ") + c.error), std::string::npos) << r.out.substr(0, 2000);
        else EXPECT_NE(r.out.find("Error In "), std::string::npos) << r.out.substr(0, 2000);
    }
}

// Sizes that only show at run time: the run ends with the run-time error, not the program.
TEST_F(HostileInputTest, AbsurdSizesAtRunTimeEndTheScriptOnly) {
    const fs::path script = write("GROW.SCS", R"(DESCRIPTION grow
BUFFER B [ 16 ]
LONG size = 7FFFFFFFH
Start:
DIMENSION B size
MSG not reached
EXIT 0
)");
    const auto r = runProcess(VEXAL_CLI_PATH, {"--virtual", "--yes", "run", script.string()}, 60);
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("KRT_DIMENSION_NEW_BUFFER_CREATION_ERROR"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("not reached"), std::string::npos);
}

TEST_F(HostileInputTest, MalformedArgumentsAreUsageErrors) {
    struct Case {
        std::vector<std::string> args;
        const char* message;  // part of the sentence on stderr
    };
    const Case cases[] = {
        {{"--device", "0", "write", "--transfer-length", "10", "--count", "99999999999999999999"},
         "--count takes 0 (to the end of medium) to 2147483647."},
        {{"--device", "0", "write", "--transfer-length", "10", "--count", "2147483648"}, "--count takes 0"},
        {{"--device", "0", "read", "--transfer-length", "10", "--count", "-1"}, "--count takes 0"},
        {{"--device", "0", "test", "1", "--count", "99999999999999999999"}, "--count takes 0"},
        {{"--device", "0", "test", "1", "--repeat", "99999999999999999999"}, "--repeat takes 1"},
        {{"--device", "0", "test", "1", "--repeat", "0"}, "--repeat takes 1"},
        {{"--device", "", "tur"}, "--device is empty"},
        {{"--device", "0", "write", "--transfer-length", "-10"}, "--transfer-length"},
        {{"--device", "0", "write", "--transfer-length", "99999999999999999999"}, "--transfer-length"},
        {{"--device", "0", "write", "--transfer-length", ""}, "Data transfers must be between 1 and 64K bytes."},
        {{"--device", "0", "write", "--transfer-length", "10", "--pattern", ""}, "Unknown pattern"},
        {{"--device", "0", "space", "1", "99999999999999999999"}, "COUNT"},
        {{"--device", "0", "space", "9", "1"}, "CODE"},
        {{"--device", "0", "locate", "-1"}, "The number you entered is out of bounds."},
        {{"--device", "0", "locate", ""}, "Error in address field."},
        {{"--device", "0", "set-block-size", "4294967296"}, "N"},
        {{"--device", "0", "cdb", ""}, "A CDB has 6 to 16 bytes"},
        {{"--device", "0", "cdb", "GG 00 00 00 00 00"}, "is not a hexadecimal byte"},
        {{"--device", "0", "cdb", "1200000024000"}, "odd number of hexadecimal digits"},
        {{"--device", "0", "cdb", "12 00 00 00 24 00", "--in", "99999999999"}, "--in takes a length"},
        {{"--device", "0", "cdb", "12 00 00 00 24 00", "--out", "zz"}, "Bad --out data"},
        {{"--device", "0", "log-sense", "999"}, "is not a page code"},
        {{"--device", "0", "log-sense", ""}, "is not a page code"},
        {{"--device", "0", "timeout", "--set", "-1"}, "--set"},
        {{"--device", "0", "run", "/dev/null", "--iterations", "99999999999"}, "--iterations"},
        {{"--device", "0", "test", "4", "--min", "10", "--max", "1"}, "The minimum and maximum block sizes"},
        {{"--device", "0", "load-count-threshold", "--set", "99999999999"}, "--set takes a threshold"},
        {{"--bogus", "tur"}, "The following argument was not expected: --bogus"},
        {{"--color", "purple", "scan"}, "--color"},
        {{"settings", "frobnicate"}, "ACTION"},
        {{"eeprom", "--set", "NOEQUALS"}, "--set takes NAME=VALUE"},
        {{"serial-port", ""}, "The serial port name is empty."},
        {{"run", ""}, "Cannot read the script"},
        {{}, "A subcommand is required"},
    };
    for (const Case& c : cases) {
        // In engineering mode: most of these commands are offered there only.
        std::vector<std::string> args{"VEXAL_PASSPHRASE=Korvane-Eng42", VEXAL_CLI_PATH, "--virtual", "--engineering"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        std::string shown;
        for (const auto& a : c.args) shown += "[" + a + "] ";
        const auto r = runProcess("/usr/bin/env", args, 30);
        EXPECT_EQ(r.exitCode, 2) << shown << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << shown << r.err;
    }
}

}  // namespace
