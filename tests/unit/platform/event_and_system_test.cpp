#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "platform/event.h"
#include "platform/system_info.h"
#include "support/test_root.h"

using namespace vexal::platform;
using namespace std::chrono_literals;

namespace {

TEST(EventTest, AutoResetWakesOneWaitAndClears) {
    Event event(Event::Reset::Auto);
    EXPECT_FALSE(event.wait(1ms));
    std::thread setter([&] { event.set(); });
    EXPECT_TRUE(event.wait(5s));
    setter.join();
    EXPECT_FALSE(event.isSet());
    EXPECT_FALSE(event.wait(1ms));
}

TEST(EventTest, ManualResetStaysSetUntilReset) {
    Event event(Event::Reset::Manual, true);
    EXPECT_TRUE(event.wait(1ms));
    EXPECT_TRUE(event.wait(1ms));
    event.reset();
    EXPECT_FALSE(event.wait(1ms));
}

TEST(SystemInfoTest, KernelVersionText) {
    EXPECT_EQ(kernelVersionText("6.1.0-18-amd64"), "Version 6.1 18-amd64 (Build 0)");
    EXPECT_EQ(kernelVersionText("5.15.133"), "Version 5.15  (Build 133)");
    EXPECT_EQ(kernelVersionText("4.19.7+"), "Version 4.19  (Build 7)");
}

TEST(SystemInfoTest, DescriptionFromOsRelease) {
    vexal::testing::TempRoot root;
    const auto file = root.path() / "os-release";
    std::ofstream(file) << "NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n";
    SystemInformation info;
    ASSERT_TRUE(SystemInfo(info, file.string()));
    EXPECT_EQ(info.productTitle, "Korvane Vexal");
    EXPECT_EQ(info.osName, "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(info.text.rfind("[SystemInfo] Debian GNU/Linux 12 (bookworm) Version ", 0), 0u);
    EXPECT_EQ(info.text.substr(info.text.size() - 2), "\n\n");
    EXPECT_FALSE(info.computerName.empty());
}

}  // namespace
