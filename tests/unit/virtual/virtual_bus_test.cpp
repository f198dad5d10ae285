// The virtual bus as the device library sees it: enumeration, identities, INQUIRY and
// VPD pages, the changer and the disk, and the host-adapter requests.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "device/device_library.h"
#include "device/virtual/virtual_transport.h"
#include "platform/event.h"
#include "support/test_root.h"
#include "virtual_bus.h"

using namespace vexal::device;
using vexal::testing::Answer;
using vexal::testing::TempRoot;
using vexal::testing::VirtualBus;

namespace {

class VirtualBusTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        transport = makeVirtualTransport("", error);
        ASSERT_TRUE(transport) << error;
        EXPECT_TRUE(error.empty());
    }
    void TearDown() override {
        DevFreeList();
        DevSetTransport(nullptr);
    }
    TempRoot root;
    std::shared_ptr<Transport> transport;
};

std::string text(const uint8_t* p, size_t n) { return std::string(reinterpret_cast<const char*>(p), n); }

TEST_F(VirtualBusTest, EnumerationFindsTheDefaultDevicesWithTheirIdentities) {
    EXPECT_EQ(transport->name(), "virtual");
    DevSetTransport(transport);
    ASSERT_EQ(DevEnumerate(), 0);
    ASSERT_EQ(DevCount(), 3);

    struct Expected {
        uint8_t target, type;
        const char* product;
        uint8_t byte36;
    } expected[] = {{0, 1, "SKTX VIRTUAL    ", 0xA1}, {1, 8, "VIRTUAL LOADER  ", 0x00}, {2, 0, "VIRTUAL DISK    ", 0x00}};
    for (int handle = 0; handle < 3; ++handle) {
        SCOPED_TRACE(handle);
        uint8_t adapter = 9, target = 9, lun = 9;
        ASSERT_EQ(DevGetAddress(handle, &adapter, &target, &lun), 0);
        EXPECT_EQ(adapter, 0);
        EXPECT_EQ(target, expected[handle].target);
        EXPECT_EQ(lun, 0);
        const uint8_t* id = nullptr;
        size_t length = 0;
        ASSERT_EQ(DevGetIdentity(handle, &id, &length), 0);
        ASSERT_EQ(length, 56u);
        EXPECT_EQ(id[0] & 0x1F, expected[handle].type);
        EXPECT_EQ(text(id + 8, 8), "KORVANE ");
        EXPECT_EQ(text(id + 16, 16), expected[handle].product);
        EXPECT_EQ(text(id + 32, 4), "V100");
        EXPECT_EQ(id[36], expected[handle].byte36);
    }
    // Only the tape drive answers page C1h, which with byte 36 A1h makes it family 10.
    uint8_t page[56];
    EXPECT_EQ(DevInquiryPageC1(0, page, sizeof page), 0);
    EXPECT_EQ(page[1], 0xC1);
    EXPECT_EQ(page[4], 10);
    EXPECT_EQ(DevInquiryPageC1(1, page, sizeof page), 1);
    EXPECT_EQ(DevInquiryPageC1(2, page, sizeof page), 1);
}

TEST_F(VirtualBusTest, StandardInquiryOffersMoreThan56BytesAndIsCutToTheAllocationLength) {
    VirtualBus bus(transport);
    const Answer full = bus.in(0, {0x12, 0, 0, 0, 255, 0}, 255);
    ASSERT_TRUE(full.good());
    const uint32_t available = full.data[4] + 5u;
    EXPECT_GE(available, 56u);
    EXPECT_EQ(full.transferred(), available);
    EXPECT_EQ(full.data[1] & 0x80, 0x80);  // removable medium
    EXPECT_EQ(full.data[2], 0x05);

    const Answer cut = bus.in(0, {0x12, 0, 0, 0, 20, 0}, 64);
    ASSERT_TRUE(cut.good());
    EXPECT_EQ(cut.transferred(), 20u);
    EXPECT_EQ(cut.residual, 44u);
    EXPECT_EQ(cut.data[20], 0xEE);  // nothing past the allocation length

    // A page code without EVPD, and CmdDt, are bad fields of the CDB.
    for (const auto& cdb : {std::vector<uint8_t>{0x12, 0, 0x80, 0, 64, 0}, std::vector<uint8_t>{0x12, 2, 0, 0, 64, 0}}) {
        const Answer bad = bus.in(0, cdb, 64);
        EXPECT_EQ(bad.kcq(), "5/24/00");
        EXPECT_EQ(bad.transferred(), 0u);
    }
}

TEST_F(VirtualBusTest, VitalProductDataPages) {
    VirtualBus bus(transport);
    const Answer list = bus.in(0, {0x12, 1, 0x00, 0, 64, 0}, 64);
    ASSERT_TRUE(list.good());
    EXPECT_EQ(std::vector<uint8_t>(list.data.begin() + 4, list.data.begin() + 4 + list.data[3]),
              (std::vector<uint8_t>{0x00, 0x80, 0x83, 0xC0, 0xC1}));

    const Answer serial = bus.in(0, {0x12, 1, 0x80, 0, 64, 0}, 64);
    ASSERT_TRUE(serial.good());
    EXPECT_EQ(serial.data[0], 0x01);
    EXPECT_EQ(serial.data[1], 0x80);
    EXPECT_EQ(text(&serial.data[4], serial.data[3]), "VD00000001");

    const Answer ident = bus.in(0, {0x12, 1, 0x83, 0, 255, 0}, 255);
    ASSERT_TRUE(ident.good());
    EXPECT_EQ(text(&ident.data[8], ident.data[7]), "KORVANE SKTX VIRTUAL    VD00000001");

    const Answer firmware = bus.in(0, {0x12, 1, 0xC0, 0, 64, 0}, 64);
    ASSERT_TRUE(firmware.good());
    EXPECT_EQ(text(&firmware.data[4], 4), "V100");

    const Answer family = bus.in(0, {0x12, 1, 0xC1, 0, 64, 0}, 64);
    ASSERT_TRUE(family.good());
    EXPECT_EQ(family.data[4], 10);
    EXPECT_EQ(family.data[5], 0xA1);
    EXPECT_EQ(family.data[27], 1);  // cartridge loaded
    EXPECT_EQ((family.data[16] << 24) | (family.data[17] << 16) | (family.data[18] << 8) | family.data[19], 256);

    const Answer missing = bus.in(0, {0x12, 1, 0xB0, 0, 64, 0}, 64);
    EXPECT_TRUE(missing.check());
    EXPECT_EQ(missing.kcq(), "5/24/00");
    EXPECT_EQ(missing.sense[15], 0xC0);  // field pointer into the CDB ...
    EXPECT_EQ(missing.sense[17], 2);     // ... at byte 2
}

TEST_F(VirtualBusTest, ChangerAndDiskKnowOnlyTheirFewCommands) {
    VirtualBus bus(transport);
    struct Case {
        uint8_t target;
        std::vector<uint8_t> cdb;
        const char* outcome;
    } cases[] = {
        {1, {0x00, 0, 0, 0, 0, 0}, "GOOD"},    {1, {0x07, 0, 0, 0, 0, 0}, "GOOD"},
        {1, {0x01, 0, 0, 0, 0, 0}, "5/20/00"}, {1, {0xA5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "5/20/00"},
        {2, {0x00, 0, 0, 0, 0, 0}, "GOOD"},    {2, {0x07, 0, 0, 0, 0, 0}, "5/20/00"},
        {2, {0x28, 0, 0, 0, 0, 0, 0, 0, 1, 0}, "5/20/00"},
        {0, {0xEE, 0, 0, 0, 0, 0}, "5/20/00"},  // the tape drive too
    };
    for (const auto& c : cases) {
        const Answer a = bus.none(c.target, c.cdb);
        EXPECT_EQ(a.kcq(), c.outcome) << int(c.target) << " " << int(c.cdb[0]);
        if (!a.good()) {
            EXPECT_EQ(a.status, srb_status::Error);
            EXPECT_EQ(a.targetStatus, target_status::CheckCondition);
            EXPECT_EQ(a.sense[0], 0x70);
            EXPECT_EQ(a.sense[7] + 8u, a.sense.size());
        }
    }
    const Answer changer = bus.in(1, {0x12, 0, 0, 0, 56, 0}, 56);
    EXPECT_EQ(changer.data[0], 0x08);
    const Answer serial = bus.in(1, {0x12, 1, 0x80, 0, 64, 0}, 64);
    EXPECT_EQ(text(&serial.data[4], serial.data[3]), "VL00000002");
}

TEST_F(VirtualBusTest, HostAdapterRequests) {
    RequestBlock inquiry;
    inquiry.command = SrbCommand::HostAdapterInquiry;
    transport->sendSrb(inquiry);
    EXPECT_EQ(inquiry.status.load(), srb_status::Complete);
    EXPECT_EQ(inquiry.adapterCount, 1);

    struct Case {
        SrbCommand command;
        uint8_t adapter, target, lun;
        uint8_t status;
    } cases[] = {
        {SrbCommand::ExecuteScsi, 0, 3, 0, srb_status::NoDevice},
        {SrbCommand::ExecuteScsi, 0, 0, 1, srb_status::NoDevice},
        {SrbCommand::ExecuteScsi, 1, 0, 0, srb_status::InvalidHostAdapter},
        {SrbCommand::GetDeviceType, 0, 15, 0, srb_status::NoDevice},
        {SrbCommand::Abort, 0, 0, 0, srb_status::Complete},
        {SrbCommand::RescanBus, 0, 0, 0, srb_status::Complete},
        {SrbCommand::RescanBus, 2, 0, 0, srb_status::InvalidHostAdapter},
        {static_cast<SrbCommand>(6), 0, 0, 0, srb_status::InvalidCommand},
    };
    for (const auto& c : cases) {
        vexal::platform::Event done;
        RequestBlock srb;
        srb.command = c.command;
        srb.hostAdapter = c.adapter;
        srb.target = c.target;
        srb.lun = c.lun;
        srb.cdbLength = 6;
        srb.flags = srb_flags::EventNotify;
        srb.post = &done;
        EXPECT_EQ(transport->sendSrb(srb), 0);
        EXPECT_EQ(srb.status.load(), c.status) << int(c.command) << " " << int(c.target);
        EXPECT_TRUE(done.isSet());  // every block is posted, whatever its outcome
    }

    const uint8_t types[] = {1, 8, 0};
    for (uint8_t target : {0, 1, 2}) {
        RequestBlock type;
        type.command = SrbCommand::GetDeviceType;
        type.target = target;
        transport->sendSrb(type);
        EXPECT_EQ(type.status.load(), srb_status::Complete);
        EXPECT_EQ(type.deviceType, types[target]);
    }
}

TEST_F(VirtualBusTest, SixtyFourDevicesOnFourAdapters) {
    std::string profile;
    for (int adapter = 0; adapter < 4; ++adapter)
        for (int target = 0; target < 16; ++target)
            profile += "[adapter " + std::to_string(adapter) + " target " + std::to_string(target) + "]\ntype = " +
                       (target % 2 ? "changer" : "tape") + "\n";
    auto bus = vexal::testing::transportFromProfile(root, profile);
    ASSERT_TRUE(bus);

    RequestBlock inquiry;
    inquiry.command = SrbCommand::HostAdapterInquiry;
    bus->sendSrb(inquiry);
    EXPECT_EQ(inquiry.adapterCount, 4);
    for (const auto& [adapter, status] : {std::pair{3, srb_status::Complete}, std::pair{4, srb_status::InvalidHostAdapter}}) {
        RequestBlock type;
        type.command = SrbCommand::GetDeviceType;
        type.hostAdapter = static_cast<uint8_t>(adapter);
        type.target = 14;
        bus->sendSrb(type);
        EXPECT_EQ(type.status.load(), status) << adapter;
    }

    DevSetTransport(bus);
    ASSERT_EQ(DevEnumerate(), 0);
    int handle = 0, count = 0;
    const uint8_t* identity = nullptr;
    size_t length = 0;
    std::set<std::pair<int, int>> seen;
    for (int rc = DevFirst(&handle, &identity, &length); rc == 0; rc = DevNext(&handle, &identity, &length)) {
        uint8_t a = 0, t = 0, l = 0;
        DevGetAddress(handle, &a, &t, &l);
        seen.insert({a, t});
        ++count;
    }
    EXPECT_EQ(count, 64);
    EXPECT_EQ(seen.size(), 64u);
}

TEST_F(VirtualBusTest, TimeoutIsKeptPerDevice) {
    DevSetTransport(transport);
    ASSERT_EQ(DevEnumerate(), 0);
    EXPECT_EQ(DevTimeout(0, 0, 0), 108000);
    EXPECT_EQ(DevTimeout(0, 1, 600), 600);
    EXPECT_EQ(DevTimeout(0, 0, 0), 600);
    EXPECT_EQ(DevTimeout(1, 0, 0), 108000);
}

}  // namespace
