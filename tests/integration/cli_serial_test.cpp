// vexal-cli serial-port, and the virtual drive's console path printed at start.
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
    EXPECT_EQ(r.out, "Serial port: ttyS0 (/dev/ttyS0)\n");

    r = runProcess(VEXAL_CLI_PATH, {"serial-port", "virtual"}, 30);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Serial port: virtual (the serial console of the virtual drive)\n");
    r = runProcess(VEXAL_CLI_PATH, {"settings"}, 30);
    EXPECT_NE(r.out.find("SerialPort=virtual\n"), std::string::npos) << r.out;

    r = runProcess(VEXAL_CLI_PATH, {"serial-port", " "}, 30);
    EXPECT_EQ(r.exitCode, 2);
    r = runProcess(VEXAL_CLI_PATH, {"serial-port"}, 30);
    EXPECT_EQ(r.out, "Serial port: virtual (the serial console of the virtual drive)\n");
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
