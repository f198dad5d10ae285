#include "device/sg/sg_sysfs.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "device/sg/sg_address_map.h"
#include "fake_sysfs.h"
#include "support/test_root.h"

using namespace vexal::device;
using namespace vexal::device::sg;
using vexal::testing::FakeSysfs;

namespace {

TEST(SgSysfs, ParsesKernelAddresses) {
    struct Case {
        const char* text;
        bool ok;
        Hctl expected;
    };
    const Case cases[] = {
        {"0:0:2:0", true, {0, 0, 2, 0}},
        {"12:3:40:1073741824", true, {12, 3, 40, 1073741824ull}},
        {"4294967295:0:0:18446744073709551615", true, {4294967295u, 0, 0, 18446744073709551615ull}},
        {"4294967296:0:0:0", false, {}},
        {"0:0:2", false, {}},
        {"0:0:2:0:0", false, {}},
        {"0:0::0", false, {}},
        {"0:0:2:", false, {}},
        {"a:0:2:0", false, {}},
        {"0:0:-2:0", false, {}},
        {" 0:0:2:0", false, {}},
        {"target0:0:2", false, {}},
        {"", false, {}},
    };
    for (const Case& c : cases) {
        Hctl parsed{9, 9, 9, 9};
        EXPECT_EQ(parseHctl(c.text, parsed), c.ok) << c.text;
        const Hctl expected = c.ok ? c.expected : Hctl{9, 9, 9, 9};  // untouched on failure
        EXPECT_EQ(parsed, expected) << c.text;
    }
}

TEST(SgSysfs, ParsesNumberedNames) {
    uint32_t n = 0;
    EXPECT_TRUE(parseNumberedName("host12", "host", n));
    EXPECT_EQ(n, 12u);
    EXPECT_TRUE(parseNumberedName("sg0", "sg", n));
    EXPECT_EQ(n, 0u);
    for (const char* bad : {"host", "hostA", "host-1", "Host1", "sg1x", "scsi_host1", "host99999999999"})
        EXPECT_FALSE(parseNumberedName(bad, bad[0] == 's' ? "sg" : "host", n)) << bad;
}

TEST(SgSysfs, ReadsDevicesFromTheClassTreeSortedByAddress) {
    vexal::testing::TempRoot root;
    FakeSysfs fake(root.path());
    fake.addHost(0);
    fake.addDevice(4, "0:0:5:0", 8, "ACME", "CHANGER");
    fake.addDevice(1, "0:0:2:1", 1, "KORVANE", "TAPE DRIVE X");
    fake.addDevice(0, "0:0:2:0", 1);

    std::vector<std::string> problems;
    const auto devices = listGenericDevices(fake.sys(), problems);
    EXPECT_TRUE(problems.empty());
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_EQ(devices[0].name, "sg0");
    EXPECT_EQ(devices[1].name, "sg1");
    EXPECT_EQ(devices[1].hctl, (Hctl{0, 0, 2, 1}));
    EXPECT_EQ(devices[1].model, "TAPE DRIVE X");
    EXPECT_EQ(devices[2].name, "sg4");
    EXPECT_EQ(devices[2].peripheralType, 8);
    EXPECT_EQ(devices[2].vendor, "ACME");
    EXPECT_EQ(listScsiHosts(fake.sys()), std::vector<uint32_t>{0});
}

TEST(SgSysfs, MalformedEntriesAreReportedAndSkipped) {
    vexal::testing::TempRoot root;
    FakeSysfs fake(root.path());
    const auto cls = fake.sys() / "class" / "scsi_generic";
    fake.addDevice(0, "0:0:1:0", 1);
    // A device folder whose name is no address.
    std::filesystem::create_directories(fake.sys() / "devices" / "odd" / "scsi_generic" / "sg1");
    FakeSysfs::link("../../../odd", fake.sys() / "devices" / "odd" / "scsi_generic" / "sg1" / "device");
    FakeSysfs::link("../../devices/odd/scsi_generic/sg1", cls / "sg1");
    // No device link at all.
    std::filesystem::create_directories(cls / "sg2");
    // A type that is no number.
    fake.addDevice(3, "0:0:3:0", 1);
    FakeSysfs::write(fake.sys() / "devices/platform/host0/target0:0:3/0:0:3:0/type", "tape\n");
    // Names that are not sg devices, and hosts that are not hostN, are ignored.
    std::filesystem::create_directories(cls / "sgx");
    std::filesystem::create_directories(fake.sys() / "class" / "scsi_host" / "hostess");
    fake.addHost(2);

    std::vector<std::string> problems;
    const auto devices = listGenericDevices(fake.sys(), problems);
    std::sort(problems.begin(), problems.end());  // they come in directory order
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].name, "sg0");
    EXPECT_EQ(devices[1].name, "sg3");
    EXPECT_EQ(devices[1].peripheralType, 0x1F);
    EXPECT_EQ(problems, (std::vector<std::string>{
                            "sg1: \"odd\" is not a SCSI address; skipped.",
                            "sg2: no SCSI device behind it; skipped.",
                            "sg3 (0:0:3:0): the device type cannot be read.",
                        }));
    EXPECT_EQ(listScsiHosts(fake.sys()), std::vector<uint32_t>{2});
}

TEST(SgSysfs, MissingTreesGiveNothing) {
    vexal::testing::TempRoot root;
    std::vector<std::string> problems;
    EXPECT_TRUE(listGenericDevices(root.path() / "nothing", problems).empty());
    EXPECT_TRUE(listScsiHosts(root.path() / "nothing").empty());
    EXPECT_TRUE(problems.empty());
}

GenericDevice at(const char* name, Hctl hctl) { return {name, hctl, 1, "", ""}; }

TEST(SgAddressMap, KeptTargetsClaimFirstAndMovedNexusesShareOneSlot) {
    const std::vector<GenericDevice> devices = {
        at("sg0", {0, 0, 0, 0}),  at("sg1", {0, 0, 1, 0}),  at("sg2", {0, 0, 3, 0}),
        at("sg3", {0, 0, 20, 0}), at("sg4", {0, 0, 20, 1}), at("sg5", {0, 1, 0, 0}),
        at("sg6", {0, 1, 0, 1}),  at("sg7", {2, 1, 7, 0}),  at("sg8", {2, 0, 15, 255}),
    };
    std::vector<std::string> problems;
    const auto placed = assignAddresses(devices, problems);
    EXPECT_TRUE(problems.empty());
    const DeviceAddress expected[] = {{0, 0, 0}, {0, 1, 0}, {0, 3, 0}, {0, 2, 0}, {0, 2, 1},
                                      {0, 4, 0}, {0, 4, 1}, {2, 0, 0}, {2, 15, 255}};
    ASSERT_EQ(placed.size(), std::size(expected));
    for (size_t i = 0; i < placed.size(); ++i) {
        ASSERT_TRUE(placed[i]) << devices[i].name;
        EXPECT_EQ(*placed[i], expected[i]) << devices[i].name;
    }
}

TEST(SgAddressMap, DevicesThatDoNotFitAreReportedAndLeftOut) {
    std::vector<GenericDevice> devices;
    for (uint32_t t = 0; t < 16; ++t) devices.push_back(at("sg", {1, 0, t, 0}));
    devices.push_back(at("sg16", {1, 0, 16, 0}));
    devices.push_back(at("sg17", {1, 2, 0, 0}));
    devices.push_back(at("sg18", {3, 0, 1, 256}));
    devices.push_back(at("sg19", {255, 0, 0, 0}));
    devices.push_back(at("sg20", {254, 0, 0, 0}));
    std::vector<std::string> problems;
    const auto placed = assignAddresses(devices, problems);
    for (size_t i = 0; i < 16; ++i) EXPECT_TRUE(placed[i]);
    for (size_t i = 16; i < 20; ++i) EXPECT_FALSE(placed[i]) << devices[i].name;
    ASSERT_TRUE(placed[20]);
    EXPECT_EQ(*placed[20], (DeviceAddress{254, 0, 0}));
    EXPECT_EQ(problems, (std::vector<std::string>{
                            "sg16 (1:0:16:0) skipped: host 1 has no free target ID 0..15 left.",
                            "sg17 (1:2:0:0) skipped: host 1 has no free target ID 0..15 left.",
                            "sg18 (3:0:1:256) skipped: LUN 256 does not fit 0..255.",
                            "sg19 (255:0:0:0) skipped: host 255 is above the highest host adapter number 254.",
                        }));
}

}  // namespace
