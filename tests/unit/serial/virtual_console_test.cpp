// The virtual drive's serial console as the transport offers it, and the "virtual" value
// of the SerialPort setting.
#include <gtest/gtest.h>

#include <fstream>

#include "app/user_settings.h"
#include "device/device_library.h"
#include "device/virtual/virtual_transport.h"
#include "serial/port_setting.h"
#include "serial/serial_session.h"
#include "support/test_root.h"

namespace vexal::serial::testing {
namespace {

using namespace std::chrono_literals;

TEST(VirtualConsoleTest, ProfileKeyGivesAConsoleTheSettingCanName) {
    vexal::testing::TempRoot root;
    const auto profile = root.path() / "bus.ini";
    std::ofstream(profile) << "[target 0]\nserial_console = yes\n[target 1]\n";
    std::string error;
    auto transport = device::makeVirtualTransport(profile.string(), error);
    ASSERT_TRUE(transport) << error;
    const auto consoles = device::virtualSerialConsoles(*transport);
    ASSERT_EQ(consoles.size(), 1u);
    EXPECT_EQ(consoles[0].target, 0);
    EXPECT_EQ(consoles[0].path.rfind("/dev/pts/", 0), 0u) << consoles[0].path;

    device::DevSetTransport(transport);
    EXPECT_EQ(resolveSerialPort("virtual"), consoles[0].path);
    EXPECT_EQ(resolveSerialPort("ttyUSB1"), "ttyUSB1");
    {
        SerialSession session("virtual");
        ASSERT_TRUE(session.ensureOpen()) << session.status();
        uint8_t buffer[64] = {};
        SerialRequest r;
        r.command = "sn";
        r.termination = ">";
        r.timeout = 5s;
        r.destination = {buffer, sizeof buffer, {}};
        const SerialOutcome o = session.transact(r);
        EXPECT_EQ(o.status, kSerialTerminated);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), o.byteCount), "\r\nSerial number VD00000001\r\nSKTX");
    }

    // The default bus has no console: "virtual" names nothing, and nothing opens.
    auto plain = device::makeVirtualTransport("", error);
    ASSERT_TRUE(plain);
    EXPECT_TRUE(device::virtualSerialConsoles(*plain).empty());
    device::DevSetTransport(plain);
    EXPECT_EQ(resolveSerialPort("virtual"), "");
    SerialSession none("virtual");
    EXPECT_FALSE(none.ensureOpen());
    device::DevSetTransport(nullptr);
}

TEST(VirtualConsoleTest, SerialPortSetting) {
    vexal::testing::TempRoot root;
    EXPECT_EQ(serialPortSetting(), "ttyS0");
    app::UserSettings settings;
    ASSERT_TRUE(app::LoadSettings(settings));
    EXPECT_EQ(settings.serialPort, "ttyS0");
    ASSERT_TRUE(app::WriteSetting(kSerialPortSetting, "virtual"));
    ASSERT_TRUE(app::LoadSettings(settings));
    EXPECT_EQ(settings.serialPort, "virtual");
    EXPECT_EQ(serialPortSetting(), "virtual");
}

}  // namespace
}  // namespace vexal::serial::testing
