// vexal-cli's command line as users type it: global options after the command, numbers in
// one set of forms everywhere, the forms of --device, unknown commands, the exit codes of the
// environment, and the small faults of single commands, all through the program.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "support/process_runner.h"
#include "support/test_root.h"

using vexal::testing::ProcessResult;
using vexal::testing::runProcess;

namespace {

namespace fs = std::filesystem;

constexpr const char* kEngineering = "VEXAL_PASSPHRASE=Korvane-Eng42";

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string joined(const std::vector<std::string>& args) {
    std::string text;
    for (const auto& a : args) text += (text.empty() ? "" : " ") + a;
    return text;
}

class CliOptionsTest : public ::testing::Test {
protected:
    // vexal-cli in engineering mode (most commands here are engineering commands), else as given.
    static ProcessResult plain(const std::vector<std::string>& args) {
        std::vector<std::string> full{kEngineering, VEXAL_CLI_PATH, "--engineering"};
        full.insert(full.end(), args.begin(), args.end());
        return runProcess("/usr/bin/env", full, 60);
    }
    // On the default virtual bus, with the drive's CDB trace in trace_.
    ProcessResult traced(std::vector<std::string> args, std::vector<std::string> env = {}) {
        env.push_back("VEXAL_VIRTUAL_TRACE=" + trace_.string());
        if (std::find(env.begin(), env.end(), kEngineering) == env.end()) env.push_back(kEngineering);
        env.push_back(VEXAL_CLI_PATH);
        env.push_back("--virtual");
        env.push_back("--engineering");
        env.insert(env.end(), args.begin(), args.end());
        return runProcess("/usr/bin/env", env, 120);
    }
    std::string profile(const std::string& name, const std::string& text) {
        const fs::path path = root.path() / name;
        std::ofstream(path) << text;
        return path.string();
    }

    vexal::testing::TempRoot root;
    fs::path trace_ = root.path() / "trace.txt";
};

TEST_F(CliOptionsTest, GlobalOptionsWorkBeforeAndAfterTheCommand) {
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        const char* out;  // in stdout
    };
    const Case cases[] = {
        {{"--virtual", "--device", "0", "tur"}, 0, "SCSI_GOOD"},
        {{"tur", "--virtual", "--device", "0"}, 0, "SCSI_GOOD"},
        {{"--virtual", "tur", "--device", "0"}, 0, "SCSI_GOOD"},
        // The disk may not be addressed: only a --device that took effect reaches it.
        {{"--virtual", "tur", "--device", "2"}, 3, ""},
        {{"tur", "--device", "2", "--virtual"}, 3, ""},
        {{"inquiry", "--virtual", "--device", "0:0:0"}, 0, "SCSI_GOOD"},
        {{"space", "eod", "--device", "0", "--virtual"}, 0, "SCSI_GOOD"},
        {{"set-block-size", "0x200", "--virtual", "--device", "0"}, 0, "Fixed Block Size: 512\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(joined(c.args));
        const auto r = plain(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
    }
    // --json after the command: the device list as JSON.
    const auto r = plain({"scan", "--json", "--virtual"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto list = nlohmann::json::parse(r.out, nullptr, false);
    ASSERT_TRUE(list.is_array()) << r.out;
    EXPECT_EQ(list.size(), 3u);
}

TEST_F(CliOptionsTest, EveryNumberFormReachesTheDriveAsTheSameValue) {
    struct Case {
        std::vector<std::string> args;
        const char* cdb;  // a CDB the drive received
    };
    const Case cases[] = {
        {{"locate", "31"}, "2B 00 00 00 00 00 1F 00 00 00"},
        {{"locate", "0x1F"}, "2B 00 00 00 00 00 1F 00 00 00"},
        {{"locate", "1FH"}, "2B 00 00 00 00 00 1F 00 00 00"},
        {{"locate", "1fh"}, "2B 00 00 00 00 00 1F 00 00 00"},
        {{"locate", "0x10", "--partition", "0x0"}, "2B 02 00 00 00 00 10 00 00 00"},
        {{"space", "blocks", "0x10"}, "11 00 00 00 10 00"},
        {{"space", "filemarks", "-2"}, "11 01 FF FF FE 00"},
        {{"space", "1", "3"}, "11 01 00 00 03 00"},
        {{"space", "sequential-filemarks", "1H"}, "11 02 00 00 01 00"},
        {{"space", "eod"}, "11 03 00 00 00 00"},
        {{"space", "0x3", "0"}, "11 03 00 00 00 00"},
        {{"write-filemarks", "0x2"}, "10 00 00 00 02 00"},
        {{"mode-sense", "--page", "0x3F", "--cdb-size", "0xA", "--length", "1k"}, "5A 00 3F 00 00 00 00 04 00 00"},
        {{"mode-sense", "--page", "3FH", "--length", "0xFF"}, "1A 00 3F 00 FF 00"},
        {{"read-buffer", "--mode", "0x2", "--id", "1H", "--offset", "0", "--length", "1k"},
         "3C 02 01 00 00 00 00 04 00 00"},
        {{"write", "--transfer-length", "1k"}, "0A 00 00 04 00 00"},
        {{"write", "--fixed", "--block-size", "0x200", "--transfer-length", "2"}, "0A 01 00 00 02 00"},
        {{"verify", "--length", "10H"}, "13 00 00 00 10 00"},
        {{"send-diagnostic", "--self-test", "4H"}, "1D 04 00 00 00 00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(joined(c.args));
        fs::remove(trace_);
        std::vector<std::string> args{"--device", "0"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto r = traced(args);
        EXPECT_NE(r.exitCode, 2) << r.err;
        const std::string trace = readAll(trace_);
        EXPECT_NE(trace.find(std::string("\n") + c.cdb + " ->"), std::string::npos) << trace;
    }
}

TEST_F(CliOptionsTest, ABadNumberIsAUsageErrorNamingTheOptionAndTheForms) {
    struct Case {
        std::vector<std::string> args;
        std::vector<const char*> err;  // each in stderr
    };
    const Case cases[] = {
        {{"mode-sense", "--page", "3F"}, {"--page", "'3F' is not a number", "0x1F or 1FH", "0x3F or 3FH"}},
        {{"mode-sense", "--page", "64"}, {"--page", "out of range", "0 to 63"}},
        // The Locate dialog's sentences, then the forms.
        {{"locate", "12G"}, {"ADDRESS", "Must be entered in hex or integer format.", "0x1F or 1FH"}},
        {{"locate", "0x1G"}, {"ADDRESS", "Must be entered in hex or integer format.", "0x1F or 1FH"}},
        {{"locate", "0xFFFFFF"}, {"ADDRESS", "out of bounds", "0 to 16777214"}},
        {{"locate", "-1"}, {"ADDRESS", "out of bounds"}},
        {{"write", "--transfer-length", "1x"}, {"--transfer-length", "with k or M"}},
        {{"write", "--transfer-length", "16M"}, {"--transfer-length", "out of range"}},
        {{"read-buffer", "--id", "1k"}, {"--id", "is not a number"}},  // k and M count bytes only
        {{"write-filemarks", "0x"}, {"N", "is not a number"}},
        {{"space", "filemarks", "1.5"}, {"COUNT", "is not a number"}},
        {{"space", "blocks"}, {"COUNT is needed"}},
        {{"space", "setmarks", "1"}, {"no space code", "sequential filemarks"}},
        {{"space", "4", "1"}, {"CODE", "out of range"}},
        {{"--timeout", "0x0", "tur"}, {"--timeout", "out of range"}},
        {{"test", "write-read", "--count", "ten"}, {"--count", "is not a number"}},
        {{"log-sense", "2E"}, {"is not a page code", "0x2E, 2EH"}},
        {{"log-sense", "0x40"}, {"is not a page code"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(joined(c.args));
        std::vector<std::string> args{"--device", "0"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto r = traced(args);
        EXPECT_EQ(r.exitCode, 2) << r.err;
        for (const char* e : c.err) EXPECT_NE(r.err.find(e), std::string::npos) << e << " in: " << r.err;
    }
}

TEST_F(CliOptionsTest, DeviceTakesIndexAddressKernelAddressOrNode) {
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        const char* err;  // in stderr; "" for none expected
    };
    const Case cases[] = {
        {{"--device", "0", "tur"}, 0, ""},
        {{"--device", "0:0:0", "tur"}, 0, ""},
        {{"--device", "0:0:0:0", "tur"}, 0, ""},  // the kernel's H:C:T:L on channel 0
        {{"--device", "0:0:1:0", "tur"}, 0, ""},  // the changer
        {{"--device", "0:0:2:0", "tur"}, 3, ""},  // the disk: there, but not addressable
        {{"--device", "0:0:5:0", "tur"}, 3, "There is no device 0:0:5:0"},
        {{"--device", "0:1:0:0", "tur"}, 2, "channel"},
        {{"--device", "1:2", "tur"}, 2, "H:T:L, H:C:T:L or /dev/sgN"},
        {{"--device", "tape", "tur"}, 2, "H:T:L, H:C:T:L or /dev/sgN"},
        {{"--device", "", "tur"}, 2, "H:C:T:L"},
        {{"--device", "/dev/sg0", "tur"}, 2, "needs --transport sg"},
        {{"select", "0:0:0:0"}, 0, ""},
        {{"run", "x.scs", "--device", "0", "--device", "0:0"}, 2, "H:T:L, H:C:T:L or /dev/sgN"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(joined(c.args));
        std::vector<std::string> args{"--virtual"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto r = plain(args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
}

TEST_F(CliOptionsTest, AnUnknownCommandIsNamed) {
    struct Case {
        std::vector<std::string> args;
        const char* err;
    };
    const Case cases[] = {
        {{"frobnicate"}, "Unknown command 'frobnicate'"},
        {{"--virtual", "frobnicate"}, "Unknown command 'frobnicate'"},  // not taken for a profile
        {{"--device", "0", "frobnicate", "--json"}, "Unknown command 'frobnicate'"},
        {{"--virtual"}, "A subcommand is required"},  // no command at all
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(joined(c.args));
        const auto r = plain(c.args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
}

// A local TCP port nobody listens on: taken from the kernel and closed again.
int deadPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return -1;
    ::close(fd);
    return ntohs(address.sin_port);
}

TEST_F(CliOptionsTest, EnvironmentAndInputFailuresHaveTheirExitCodes) {
    const int port = deadPort();
    ASSERT_GT(port, 0);
    const std::string portal = "127.0.0.1:" + std::to_string(port);
    const std::string bad = profile("bad.ini", "[target 0]\ntype = toaster\n");
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        const char* err;
    };
    const Case cases[] = {
        {{"--portal", portal, "scan"}, 4, "could not be reached"},
        {{"--portal", portal, "--json", "scan"}, 4, "could not be reached"},
        {{"--portal", portal, "tur"}, 4, "could not be reached"},
        {{"--portal", portal, "--quiet", "--device", "0", "inquiry"}, 4, "could not be reached"},
        {{"--virtual", "--answers", (root.path() / "none.txt").string(), "tur"}, 2, "Cannot read the answers file"},
        {{"--virtual=" + bad, "tur"}, 2, "Error: Virtual drive profile"},
        {{"--virtual=" + bad, "scan"}, 2, "Error: Virtual drive profile"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(joined(c.args));
        const auto r = plain(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("Warning: Virtual drive profile"), std::string::npos) << r.err;
    }
    EXPECT_EQ(plain({"--portal", portal, "--json", "scan"}).out, "[]\n");
}

// The count of WRITE commands done matches what the drive took: a WRITE that ended with
// early warning wrote its block and counts.
TEST_F(CliOptionsTest, AWriteEndingInEarlyWarningIsCounted) {
    const std::string small = profile("small.ini", "[target 0]\ntype = tape\ncapacity_mib = 1\n");
    const auto r = runProcess("/usr/bin/env", {kEngineering, "VEXAL_VIRTUAL_TRACE=" + trace_.string(), VEXAL_CLI_PATH,
                                               "--virtual=" + small, "--engineering", "--device", "0", "write",
                                               "--transfer-length", "64k", "--count", "40"});
    EXPECT_EQ(r.exitCode, 1) << r.err;  // the last WRITE did not end GOOD
    std::istringstream trace(readAll(trace_));
    int written = 0;
    bool earlyWarning = false;
    for (std::string line; std::getline(trace, line);) {
        if (!line.starts_with("0A ")) continue;
        if (line.find("-> GOOD") != std::string::npos) ++written;
        if (line.find("-> CHECK CONDITION 0/00/02") != std::string::npos) {
            ++written;
            earlyWarning = true;
        }
    }
    ASSERT_TRUE(earlyWarning) << readAll(trace_);
    EXPECT_NE(r.out.find("Completed Consecutive Command Count: " + std::to_string(written) + "\n"),
              std::string::npos)
        << "the drive took " << written << " blocks:\n"
        << r.out;
}

TEST_F(CliOptionsTest, CompressionIsToldOnlyWhenTheModeSelectWasTaken) {
    // Which command the MODE SELECT is, counted by the drive's trace of a good run.
    const std::string alone = profile("alone.ini", "[target 0]\ntype = tape\n");
    const auto good = runProcess("/usr/bin/env", {kEngineering, "VEXAL_VIRTUAL_TRACE=" + trace_.string(), VEXAL_CLI_PATH,
                                                  "--virtual=" + alone, "--engineering", "--device", "0", "compression",
                                                  "on"});
    ASSERT_EQ(good.exitCode, 0) << good.err;
    EXPECT_NE(good.out.find("Hardware Data Compression: Enabled"), std::string::npos) << good.out;
    std::istringstream trace(readAll(trace_));
    int number = 0, select = 0;
    for (std::string line; std::getline(trace, line);)
        if (++number && line.starts_with("15 10 ")) select = number;
    ASSERT_GT(select, 0);
    const std::string failing = profile(
        "failing.ini", "[target 0]\ntype = tape\ndisconnect_after = " + std::to_string(select) + "\n");
    const auto r = plain({"--virtual=" + failing, "--device", "0", "compression", "on"});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(r.out.find("Hardware Data Compression"), std::string::npos) << r.out;
}

TEST_F(CliOptionsTest, SmallerCommandFaults) {
    // SEND DIAGNOSTIC without a self-test names that.
    const auto diagnostic = plain({"--virtual", "--device", "0", "send-diagnostic"});
    EXPECT_EQ(diagnostic.exitCode, 0) << diagnostic.err;
    EXPECT_NE(diagnostic.out.find("SelfTest = None\n"), std::string::npos) << diagnostic.out;

    // WRITE BUFFER's help names the download modes and where a firmware update goes.
    const auto help = plain({"write-buffer", "--help"});
    EXPECT_NE(help.out.find("4 download microcode"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("5 download microcode and save"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("vexal-cli firmware"), std::string::npos) << help.out;
    EXPECT_EQ(help.out.find("descriptor"), std::string::npos) << "a read mode: " << help.out;

    // A transfer length of 0 is refused as the test criteria refuse it, not replaced.
    struct Case {
        std::vector<std::string> args;
        const char* err;
    };
    const Case refusals[] = {
        {{"test", "write-read", "--transfer-length", "0"}, "Data transfers must be between 1 and 64K bytes."},
        {{"test", "1", "--fixed", "--transfer-length", "0"}, "Data transfers must be between 1 and 64K bytes."},
        {{"test", "2", "--transfer-length", "0"}, "between 1 and 65535"},
    };
    for (const Case& c : refusals) {
        SCOPED_TRACE(joined(c.args));
        fs::remove(trace_);
        std::vector<std::string> args{"--device", "0"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto r = traced(args);
        EXPECT_EQ(r.exitCode, 2) << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        EXPECT_EQ(readAll(trace_).find("0A "), std::string::npos) << "nothing is written";
    }
}

// --quiet leaves out the frame's markers and CDB; the data, the decoded lines, the status and
// the errors stay on the terminal, and --save keeps every line.
TEST_F(CliOptionsTest, QuietLeavesOutFrameMarkersButNotDataResultsOrErrors) {
    const fs::path saved = root.path() / "quiet.txt";
    struct Case {
        std::vector<std::string> args;
        std::vector<const char*> kept;  // in stdout with and without --quiet
    };
    const Case cases[] = {
        {{"--engineering", "read-position"}, {" Read Position\n", "First Block: 0 (0x00000000)"}},
        {{"--engineering", "locate", "0x40"}, {"Block Number: 64 (0x40)", "END_OF_DATA_DETECTED", "Sense Key: 0x08"}},
        {{"locate", "0x40"}, {"END_OF_DATA_DETECTED"}},
        // The data is MODE SENSE's result: it stays.
        {{"--engineering", "mode-sense"}, {" RAW_DATA: 12\n", "  000000: 0B 87 10 08 "}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(joined(c.args));
        std::vector<std::string> args{"--device", "0"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto loud = traced(args, {kEngineering});
        args.insert(args.begin(), {"--quiet", "--save", saved.string()});
        const auto quiet = traced(args, {kEngineering});
        EXPECT_EQ(quiet.exitCode, loud.exitCode) << quiet.err;
        for (const char* k : c.kept) {
            EXPECT_NE(loud.out.find(k), std::string::npos) << k << " in: " << loud.out;
            EXPECT_NE(quiet.out.find(k), std::string::npos) << k << " in: " << quiet.out;
        }
        for (const char* raw : {" RAW_CDB:", "[Vexal_Command_Sent", "[Vexal_Command_Done"}) {
            if (loud.out.find(raw) == std::string::npos) continue;  // customer mode shows none
            EXPECT_EQ(quiet.out.find(raw), std::string::npos) << raw << " in: " << quiet.out;
            EXPECT_NE(readAll(saved).find(raw), std::string::npos) << raw << ": --save keeps it";
        }
        EXPECT_LT(quiet.out.size(), loud.out.size());
    }
}

}  // namespace
