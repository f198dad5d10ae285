// vexal-cli serial-port (port and line format), and the virtual drive's console path printed at start.
#include <gtest/gtest.h>

#include <fstream>

#include "support/process_runner.h"
#include "support/test_root.h"

using vexal::testing::runProcess;

namespace {

TEST(CliSerialTest, SerialPortSettingIsShownAndSet) {
    vexal::testing::TempRoot root;
    auto r = runProcess(VEXAL_CLI_PATH, {"serial-port"}, 30);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Serial port: ttyS0 (/dev/ttyS0)\nLine: 8N1,none\n");

    r = runProcess(VEXAL_CLI_PATH, {"serial-port", "virtual"}, 30);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Serial port: virtual (the serial console of the virtual drive)\nLine: 8N1,none\n");
    r = runProcess(VEXAL_CLI_PATH, {"settings"}, 30);
    EXPECT_NE(r.out.find("SerialPort=virtual\n"), std::string::npos) << r.out;

    r = runProcess(VEXAL_CLI_PATH, {"serial-port", " "}, 30);
    EXPECT_EQ(r.exitCode, 2);
    r = runProcess(VEXAL_CLI_PATH, {"serial-port"}, 30);
    EXPECT_EQ(r.out, "Serial port: virtual (the serial console of the virtual drive)\nLine: 8N1,none\n");
}

TEST(CliSerialTest, LineFormatIsSetShownAndBadOnesRefused) {
    vexal::testing::TempRoot root;
    const struct {
        const char* given;
        const char* shown;  // nullptr: refused, the setting stays as it was
    } cases[] = {
        {"7E2,hardware", "7E2,hardware"}, {"8n1", "8N1,none"},  {"5O1.5,software", "5O1.5,software"},
        {"6S1,none", "6S1,none"},         {"4N1", nullptr},     {"9N1", nullptr},
        {"8X1", nullptr},                 {"8N3", nullptr},     {"8N1,xon", nullptr},
        {"8N", nullptr},                  {"", nullptr},
    };
    std::string shown = "8N1,none";
    for (const auto& c : cases) {
        auto r = runProcess(VEXAL_CLI_PATH, {"serial-port", "--line", c.given}, 30);
        EXPECT_EQ(r.exitCode, c.shown ? 0 : 2) << c.given << " " << r.err;
        if (c.shown) shown = c.shown;
        r = runProcess(VEXAL_CLI_PATH, {"serial-port"}, 30);
        EXPECT_NE(r.out.find("\nLine: " + shown + "\n"), std::string::npos) << c.given << " " << r.out;
    }
}

TEST(CliSerialTest, VirtualConsolePathIsPrintedAtStart) {
    vexal::testing::TempRoot root;
    const auto profile = root.path() / "console.ini";
    std::ofstream(profile) << "[target 0]\nserial_console = yes\n";
    const auto r = runProcess(VEXAL_CLI_PATH, {"--virtual=" + profile.string(), "scan"}, 60);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("Serial console of the virtual device at target 0: /dev/pts/"), std::string::npos) << r.err;
}

}  // namespace
