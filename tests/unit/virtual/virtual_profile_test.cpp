// Profile files of the virtual bus: the values they set, the defaults they leave, and
// one clear sentence for every mistake.
#include <gtest/gtest.h>

#include "device/virtual/virtual_profile.h"
#include "support/test_root.h"
#include "virtual_bus.h"

using namespace vexal::device;
using namespace vexal::device::virt;
using vexal::testing::Answer;
using vexal::testing::TempRoot;
using vexal::testing::transportFromProfile;
using vexal::testing::VirtualBus;

namespace {

TEST(VirtualProfileTest, KeysSetTheDeviceAndOmittedKeysTakeTheDefaults) {
    const char* text =
        "; a training bus\n"
        "[target 0]\n"
        "type = tape\n"
        "vendor = ACME\n"
        "product = \"  LEFT PAD\"\n"
        "revision = T2\n"
        "byte36 = 0x80\n"
        "serial = SN-42\n"
        "page_c1 = no\n"
        "capacity_mib = 16\n"
        "write_protect = yes\n"
        "tape_alerts = 3, 20,64\n"
        "medium_error_at = 7\n"
        "not_ready_seconds = 5\n"
        "unit_attention = YES\n"
        "serial_console = true\n"
        "trace = cdbs.txt\n"
        "timeout_after = 10\n"
        "disconnect_after = 0\n"
        "\n"
        "[Target 5]\n"
        "Type = Changer\n"
        "byte36 = 17\n"
        "# a disk\n"
        "[target 1]\n"
        "type = disk\n"
        "byte36 = C3h\n";
    VirtualProfile p;
    std::string error;
    ASSERT_TRUE(parseProfile(text, "/srv/profiles/bus.ini", p, error)) << error;
    ASSERT_EQ(p.devices.size(), 3u);

    const DeviceProfile& tape = p.devices[0];
    EXPECT_EQ(tape.target, 0);
    EXPECT_EQ(tape.kind, DeviceKind::Tape);
    EXPECT_EQ(tape.vendor, "ACME    ");
    EXPECT_EQ(tape.product, "  LEFT PAD      ");
    EXPECT_EQ(tape.revision, "T2  ");
    EXPECT_EQ(tape.byte36, 0x80);
    EXPECT_EQ(tape.serial, "SN-42");
    EXPECT_FALSE(tape.pageC1);
    EXPECT_TRUE(tape.cartridge);  // left out: the default
    EXPECT_EQ(tape.capacityMib, 16u);
    EXPECT_TRUE(tape.writeProtect);
    EXPECT_EQ(tape.tapeAlerts, (std::vector<uint8_t>{3, 20, 64}));
    EXPECT_EQ(tape.mediumErrorAt.value_or(0), 7u);
    EXPECT_EQ(tape.notReadySeconds, 5u);
    EXPECT_TRUE(tape.unitAttention);
    EXPECT_TRUE(tape.serialConsole);
    EXPECT_EQ(tape.trace, "/srv/profiles/cdbs.txt");  // relative to the profile
    EXPECT_EQ(tape.timeoutAfter, 10u);
    EXPECT_EQ(tape.disconnectAfter, 0u);

    const DeviceProfile& disk = p.devices[1];
    EXPECT_EQ(disk.target, 1);
    EXPECT_EQ(disk.kind, DeviceKind::Disk);
    EXPECT_EQ(disk.product, "VIRTUAL DISK    ");
    EXPECT_EQ(disk.byte36, 0xC3);

    const DeviceProfile& changer = p.devices[2];
    EXPECT_EQ(changer.target, 5);
    EXPECT_EQ(changer.kind, DeviceKind::Changer);
    EXPECT_EQ(changer.vendor, "KORVANE ");
    EXPECT_EQ(changer.product, "VIRTUAL LOADER  ");
    EXPECT_EQ(changer.byte36, 17);  // digits alone are decimal
    EXPECT_FALSE(changer.pageC1);
}

TEST(VirtualProfileTest, DefaultsFollowTheTypeAndTheTarget) {
    VirtualProfile p;
    std::string error;
    ASSERT_TRUE(parseProfile("[target 0]\n[target 1]\n[target 2]\n[target 7]\ntype=tape\n", "p.ini", p, error))
        << error;
    ASSERT_EQ(p.devices.size(), 4u);
    const VirtualProfile d = defaultProfile();
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(p.devices[i].kind, d.devices[i].kind);
        EXPECT_EQ(p.devices[i].product, d.devices[i].product);
        EXPECT_EQ(p.devices[i].serial, d.devices[i].serial);
    }
    EXPECT_EQ(p.devices[3].serial, "VD00000008");
    EXPECT_EQ(p.devices[3].capacityMib, 256u);
    EXPECT_EQ(p.devices[3].byte36, 0xA1);
}

TEST(VirtualProfileTest, DevicesOnOtherAdaptersKeepTheirOwnSerialAndOrder) {
    VirtualProfile p;
    std::string error;
    ASSERT_TRUE(parseProfile("[adapter 7 target 15]\ntype = tape\n[target 0]\n[adapter 0 target 1]\n"
                             "[adapter 1 target 0]\ntype = tape\n",
                             "p.ini", p, error))
        << error;
    ASSERT_EQ(p.devices.size(), 4u);
    const std::pair<int, int> order[] = {{0, 0}, {0, 1}, {1, 0}, {7, 15}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(p.devices[i].adapter, order[i].first);
        EXPECT_EQ(p.devices[i].target, order[i].second);
    }
    EXPECT_EQ(p.devices[0].serial, "VD00000001");
    EXPECT_EQ(p.devices[2].serial, "VD00000017");
    EXPECT_EQ(p.devices[3].serial, "VD00000128");
}

TEST(VirtualProfileTest, MistakesAreRefusedNamingTheLineAndKey) {
    struct Case {
        const char* text;
        std::vector<const char*> mentions;
    } cases[] = {
        {"[target 0]\ncolour = red\n", {"line 2", "\"colour\"", "[target 0]"}},
        {"[target 0]\ntype = tape\nbyte36 = G1\n", {"line 3", "\"byte36\"", "\"G1\""}},
        {"[target 0]\nbyte36 = 256\n", {"line 2", "\"byte36\""}},
        {"[target 0]\nbyte36 = 0x\n", {"line 2", "\"byte36\""}},
        {"[target 0]\ntype = printer\n", {"line 2", "\"type\"", "printer"}},
        {"[target 0]\nvendor = NINECHARS\n", {"line 2", "\"vendor\""}},
        {"[target 0]\nproduct = 12345678901234567\n", {"line 2", "\"product\""}},
        {"[target 0]\nrevision = V1000\n", {"line 2", "\"revision\""}},
        {"[target 0]\nserial =\n", {"line 2", "\"serial\""}},
        {"[target 0]\npage_c1 = maybe\n", {"line 2", "\"page_c1\""}},
        {"[target 0]\ncartridge = 2\n", {"line 2", "\"cartridge\""}},
        {"[target 0]\ncapacity_mib = 0\n", {"line 2", "\"capacity_mib\""}},
        {"[target 0]\ncapacity_mib = 12MiB\n", {"line 2", "\"capacity_mib\""}},
        {"[target 0]\ntape_alerts = 1,65\n", {"line 2", "\"tape_alerts\""}},
        {"[target 0]\ntape_alerts = 0\n", {"line 2", "\"tape_alerts\""}},
        {"[target 0]\nmedium_error_at = -1\n", {"line 2", "\"medium_error_at\""}},
        {"[target 0]\nnot_ready_seconds = 86401\n", {"line 2", "\"not_ready_seconds\""}},
        {"[target 0]\nunit_attention = on?\n", {"line 2", "\"unit_attention\""}},
        {"[target 0]\nserial_console = x\n", {"line 2", "\"serial_console\""}},
        {"[target 0]\ntrace =\n", {"line 2", "\"trace\""}},
        {"[target 0]\ntimeout_after = soon\n", {"line 2", "\"timeout_after\""}},
        {"[target 0]\ndisconnect_after = 1.5\n", {"line 2", "\"disconnect_after\""}},
        {"[target 1]\ntype = changer\ncapacity_mib = 5\n", {"line 3", "\"capacity_mib\"", "only to a tape drive"}},
        {"[target 2]\nwrite_protect = yes\n", {"line 2", "\"write_protect\"", "only to a tape drive"}},
        {"\n[target 9]\nvendor = X\n", {"line 2", "\"type\"", "[target 9]"}},
        {"[target 16]\ntype = tape\n", {"line 1", "target 16"}},
        {"[adapter 8 target 0]\ntype = tape\n", {"line 1", "adapter 8 target 0", "A from 0 to 7"}},
        {"[adapter 1]\ntype = tape\n", {"line 1", "[adapter 1]"}},
        {"[adapter 1 target 2 lun 0]\ntype = tape\n", {"line 1", "lun 0"}},
        {"[adapter 2 target 5]\ntype = tape\n[adapter 2  target 5]\n", {"line 3", "adapter 2 target 5 a second time"}},
        {"[target 4]\ntype = tape\n[adapter 1 target 4]\ntype = tape\nserial = VD00000005\n",
         {"line 5", "\"serial\"", "[target 4]"}},
        {"[drive 0]\ntype = tape\n", {"line 1", "drive 0"}},
        {"[target 0]\n[target 0]\n", {"line 2", "[target 0]"}},
        {"[target 0]\n[target  0]\n", {"line 2", "target 0"}},
        {"type = tape\n[target 0]\n", {"line 1", "\"type\""}},
        {"[target 0]\ncartridge yes\n", {"line 2", "cartridge yes"}},
        {"[target 0]\n[target 3]\ntype = tape\nserial = VD00000001\n", {"line 4", "\"serial\"", "VD00000001"}},
        {"; nothing\n", {"no device"}},
    };
    for (const auto& c : cases) {
        VirtualProfile p;
        std::string error;
        EXPECT_FALSE(parseProfile(c.text, "/tmp/bad.ini", p, error)) << c.text;
        EXPECT_NE(error.find("\"/tmp/bad.ini\""), std::string::npos) << error;
        for (const char* m : c.mentions) EXPECT_NE(error.find(m), std::string::npos) << c.text << " -> " << error;
        EXPECT_EQ(error.back(), '.');
        EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 0);
    }
}

TEST(VirtualProfileTest, TheFactoryRefusesABadProfileAndUsesAGoodOne) {
    TempRoot root;
    std::string error;
    EXPECT_FALSE(transportFromProfile(root, "[target 0]\nbyte36 = zz\n", &error));
    EXPECT_NE(error.find("profile.ini"), std::string::npos);
    EXPECT_NE(error.find("byte36"), std::string::npos);

    EXPECT_FALSE(makeVirtualTransport((root.path() / "missing.ini").string(), error));
    EXPECT_NE(error.find("missing.ini"), std::string::npos);

    EXPECT_FALSE(transportFromProfile(root, "[target 0]\ntrace = /nonexistent-dir/x/trace.txt\n", &error));
    EXPECT_NE(error.find("\"trace\""), std::string::npos);

    auto t = transportFromProfile(root, "[target 3]\ntype = tape\nvendor = ACME\nbyte36 = 0x80\npage_c1 = no\n", &error);
    ASSERT_TRUE(t) << error;
    VirtualBus bus(t);
    EXPECT_EQ(bus.in(0, {0x12, 0, 0, 0, 56, 0}, 56).status, srb_status::NoDevice);
    const Answer id = bus.in(3, {0x12, 0, 0, 0, 56, 0}, 56);
    ASSERT_TRUE(id.good());
    EXPECT_EQ(std::string(id.data.begin() + 8, id.data.begin() + 16), "ACME    ");
    EXPECT_EQ(id.data[36], 0x80);
    EXPECT_EQ(bus.in(3, {0x12, 1, 0xC1, 0, 56, 0}, 56).kcq(), "5/24/00");
    const Answer pages = bus.in(3, {0x12, 1, 0x00, 0, 56, 0}, 56);
    EXPECT_EQ(pages.data[3], 4);  // 00h, 80h, 83h, C0h
}

}  // namespace
