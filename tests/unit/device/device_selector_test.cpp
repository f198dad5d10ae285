// How a user names a device: index, H:T:L, the kernel's H:C:T:L or an sg node (a link to one
// counts for it).
#include "device/device_selector.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/test_root.h"

using namespace vexal::device;
using Kind = DeviceSelector::Kind;

namespace {

TEST(DeviceSelectorTest, IndexAddressAndNodeAreToldApartAndEverythingElseRefused) {
    struct Case {
        const char* text;
        bool ok;
        Kind kind;
        std::string again;  // text() of the result
    };
    const Case cases[] = {
        {"0", true, Kind::Index, "0"},
        {"12", true, Kind::Index, "12"},
        {"0:2:1", true, Kind::Address, "0:2:1"},
        {"255:15:255", true, Kind::Address, "255:15:255"},
        {"/dev/sg3", true, Kind::Node, "/dev/sg3"},
        {"/dev/sg12", true, Kind::Node, "/dev/sg12"},
        {"-1", false, {}, ""},
        {"256:0:0", false, {}, ""},
        {"0:0", false, {}, ""},
        {"0:0:2:0", true, Kind::Kernel, "0:0:2:0"},  // the kernel's H:C:T:L, as lsscsi shows it
        {"3:1:300:70000", true, Kind::Kernel, "3:1:300:70000"},  // past H:T:L's ranges: the kernel's own
        {"0:0:2:0:0", false, {}, ""},
        {"0:0::0", false, {}, ""},
        {"0:-1:2:0", false, {}, ""},
        {"0::1", false, {}, ""},
        {"/dev/nst0", false, {}, ""},
        {"/dev/sg", false, {}, ""},
        {"/dev/sgx1", false, {}, ""},
        {"sg3", false, {}, ""},
        {"", false, {}, ""},
    };
    for (const Case& c : cases) {
        DeviceSelector selector;
        std::string error;
        EXPECT_EQ(parseDeviceSelector(c.text, selector, error), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(selector.kind, c.kind) << c.text;
            EXPECT_EQ(selector.text(), c.again);
        } else {
            EXPECT_FALSE(error.empty()) << c.text;
        }
    }
}

TEST(DeviceSelectorTest, KernelAddressOnChannelZeroStandsForHtl) {
    struct Case {
        const char* text;
        bool plain;
        DeviceAddress address;
    };
    const Case cases[] = {
        {"0:0:2:0", true, {0, 2, 0}},
        {"1:0:15:255", true, {1, 15, 255}},
        {"0:1:2:0", false, {}},   // another channel: SCSI generic moves it to a free target
        {"0:0:16:0", false, {}},  // past the 16 targets of a host adapter
        {"0:0:2:256", false, {}},
        {"0:2:1", true, {0, 2, 1}},  // H:T:L itself
    };
    for (const Case& c : cases) {
        DeviceSelector selector;
        std::string error;
        ASSERT_TRUE(parseDeviceSelector(c.text, selector, error)) << c.text << ": " << error;
        DeviceAddress address;
        EXPECT_EQ(selector.plainAddress(address), c.plain) << c.text;
        if (c.plain) EXPECT_EQ(address, c.address) << c.text;
    }
}

TEST(DeviceSelectorTest, ALinkNamesTheNodeItPointsAt) {
    vexal::testing::TempRoot root;
    const auto node = root.path() / "sg4";
    std::ofstream(node).put('\0');
    std::filesystem::create_symlink(node, root.path() / "drive-by-path");
    DeviceSelector selector;
    std::string error;
    ASSERT_TRUE(parseDeviceSelector((root.path() / "drive-by-path").string(), selector, error)) << error;
    EXPECT_EQ(selector.kind, Kind::Node);
    EXPECT_EQ(selector.node, "sg4");
}

}  // namespace
