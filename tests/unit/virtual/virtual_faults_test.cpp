// Injected faults and the conditions a drive reports once: the not-ready period, unit
// attention, command time-outs and bus frees, REQUEST SENSE and device reset.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "device/device_library.h"
#include "device/sense_format.h"
#include "support/test_root.h"
#include "virtual_bus.h"

using namespace vexal::device;
using vexal::testing::Answer;
using vexal::testing::TempRoot;
using vexal::testing::transportFromProfile;
using vexal::testing::VirtualBus;

namespace {

class VirtualFaultsTest : public ::testing::Test {
protected:
    std::unique_ptr<VirtualBus> busFor(const std::string& profile) {
        std::string error;
        auto t = transportFromProfile(root, profile, &error);
        EXPECT_TRUE(t) << error;
        return t ? std::make_unique<VirtualBus>(t) : nullptr;
    }
    void reset(VirtualBus& bus, uint8_t target = 0) {
        RequestBlock srb;
        srb.command = SrbCommand::ResetDevice;
        srb.target = target;
        bus.transport().sendSrb(srb);
        EXPECT_EQ(srb.status.load(), srb_status::Complete);
    }
    TempRoot root;
};

TEST_F(VirtualFaultsTest, NotReadyWhileBecomingReady) {
    auto bus = busFor("[target 0]\nnot_ready_seconds = 1\n[target 1]\ntype = changer\nnot_ready_seconds = 600\n");
    ASSERT_TRUE(bus);
    EXPECT_EQ(bus->tur().kcq(), "2/04/01");
    EXPECT_EQ(bus->readVariable(10).kcq(), "2/04/01");
    EXPECT_EQ(bus->in(0, {0x05, 0, 0, 0, 0, 0}, 6).kcq(), "2/04/01");
    // INQUIRY answers; REQUEST SENSE tells why.
    EXPECT_TRUE(bus->in(0, {0x12, 0, 0, 0, 56, 0}, 56).good());
    const Answer sense = bus->requestSense();
    ASSERT_TRUE(sense.good());
    EXPECT_EQ(sense.data[2] & 0x0F, 2);
    EXPECT_EQ(sense.data[12], 0x04);
    EXPECT_EQ(sense.data[13], 0x01);
    EXPECT_EQ(bus->none(1, {0x00, 0, 0, 0, 0, 0}).kcq(), "2/04/01");

    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    EXPECT_TRUE(bus->tur().good());
    EXPECT_EQ(bus->none(1, {0x00, 0, 0, 0, 0, 0}).kcq(), "2/04/01");
}

TEST_F(VirtualFaultsTest, UnitAttentionOnceAtPowerOnAndAfterALoad) {
    auto bus = busFor("[target 0]\nunit_attention = yes\n[target 2]\nunit_attention = yes\n");
    ASSERT_TRUE(bus);
    EXPECT_TRUE(bus->in(0, {0x12, 0, 0, 0, 56, 0}, 56).good());  // INQUIRY is not held up
    const Answer first = bus->tur();
    EXPECT_EQ(first.kcq(), "6/29/00");
    EXPECT_TRUE(bus->tur().good());
    // An unknown command is held up by the attention too.
    EXPECT_EQ(bus->none(2, {0xEE, 0, 0, 0, 0, 0}).kcq(), "6/29/00");
    EXPECT_EQ(bus->none(2, {0xEE, 0, 0, 0, 0, 0}).kcq(), "5/20/00");

    ASSERT_TRUE(bus->none(0, {0x1B, 0, 0, 0, 0, 0}).good());
    ASSERT_TRUE(bus->none(0, {0x1B, 0, 0, 0, 1, 0}).good());
    // REQUEST SENSE returns the pending attention and clears it.
    const Answer sense = bus->requestSense();
    ASSERT_TRUE(sense.good());
    EXPECT_EQ(sense.data[2] & 0x0F, 6);
    EXPECT_EQ(sense.data[12], 0x28);
    EXPECT_TRUE(bus->tur().good());

    // A reset drops a pending attention.
    ASSERT_TRUE(bus->none(0, {0x1B, 0, 0, 0, 0, 0}).good());
    ASSERT_TRUE(bus->none(0, {0x1B, 0, 0, 0, 1, 0}).good());
    reset(*bus);
    EXPECT_TRUE(bus->tur().good());
}

TEST_F(VirtualFaultsTest, WithoutTheKeyNoUnitAttention) {
    auto bus = busFor("[target 0]\n");
    ASSERT_TRUE(bus);
    EXPECT_TRUE(bus->tur().good());
    ASSERT_TRUE(bus->none(0, {0x1B, 0, 0, 0, 0, 0}).good());
    ASSERT_TRUE(bus->none(0, {0x1B, 0, 0, 0, 1, 0}).good());
    EXPECT_TRUE(bus->tur().good());
}

TEST_F(VirtualFaultsTest, HostFaultsAfterNCommands) {
    auto bus = busFor("[target 0]\ntimeout_after = 3\n[target 1]\ntype = changer\ndisconnect_after = 2\n");
    ASSERT_TRUE(bus);
    struct Step {
        uint8_t target;
        uint8_t hostStatus;  // 0: the command ran
    } steps[] = {{0, 0}, {0, 0}, {0, ha_status::CommandTimeout}, {0, ha_status::CommandTimeout},
                 {1, 0}, {1, ha_status::UnexpectedBusFree},      {1, ha_status::UnexpectedBusFree}};
    for (const auto& s : steps) {
        const Answer a = bus->in(s.target, {0x12, 0, 0, 0, 56, 0}, 56);
        EXPECT_EQ(a.hostStatus, s.hostStatus);
        if (s.hostStatus) {
            EXPECT_EQ(a.status, srb_status::Error);
            EXPECT_EQ(a.targetStatus, 0);
            EXPECT_TRUE(a.sense.empty());
            EXPECT_EQ(a.transferred(), 0u);
        } else {
            EXPECT_TRUE(a.good());
        }
    }
}

TEST_F(VirtualFaultsTest, RequestSenseReportsTheLastSenseOnceAndItsVendorBytes) {
    auto bus = busFor("[target 0]\ncapacity_mib = 64\n");
    ASSERT_TRUE(bus);
    const Answer none = bus->requestSense();
    ASSERT_TRUE(none.good());
    EXPECT_EQ(none.transferred(), 29u);
    EXPECT_EQ(none.data[0], 0x70);
    EXPECT_EQ(none.data[2], 0x00);
    EXPECT_EQ(none.data[7], 21);
    // Tape remaining in KiB, bytes 25..28.
    EXPECT_EQ((none.data[25] << 24) | (none.data[26] << 16) | (none.data[27] << 8) | none.data[28], 64 * 1024);

    EXPECT_EQ(bus->readVariable(100).kcq(), "8/00/05");
    const Answer last = bus->requestSense();
    EXPECT_EQ(last.data[0], 0xF0);  // VALID: the information field holds the residue
    EXPECT_EQ(last.data[2] & 0x0F, 8);
    EXPECT_EQ(last.data[6], 100);
    EXPECT_EQ(bus->requestSense().data[2], 0x00);  // reported once
    // A short allocation length cuts the data.
    EXPECT_EQ(bus->in(0, {0x03, 0, 0, 0, 18, 0}, 29).transferred(), 18u);
}

TEST_F(VirtualFaultsTest, DescriptorSenseWhenTheControlPageOrTheProfileAsks) {
    auto bus = busFor("[target 0]\ncapacity_mib = 64\n");
    ASSERT_TRUE(bus);
    // D_SENSE off at power-on; the control page says so and lets it change.
    const Answer control = bus->in(0, {0x1A, 0x08, 0x0A, 0, 255, 0}, 255);
    ASSERT_TRUE(control.good()) << control.kcq();
    ASSERT_EQ(control.transferred(), 16u);
    EXPECT_EQ(control.data[4], 0x0A);
    EXPECT_EQ(control.data[6] & 0x04, 0);
    EXPECT_EQ(bus->in(0, {0x1A, 0x08, 0x4A, 0, 255, 0}, 255).data[6], 0x04);  // changeable: D_SENSE only
    ASSERT_EQ(bus->readVariable(100).sense[0], 0xF0);  // fixed format, VALID

    // Set D_SENSE: the same conditions now come in descriptor format.
    std::vector<uint8_t> select(control.data.begin(), control.data.begin() + 16);
    select[0] = 0;
    select[6] |= 0x04;
    ASSERT_TRUE(bus->out(0, {0x15, 0x10, 0, 0, 16, 0}, select).good());
    const Answer eod = bus->readVariable(100);
    ASSERT_TRUE(eod.check());
    ASSERT_GE(eod.sense.size(), 8u);
    EXPECT_EQ(eod.sense[0], 0x72);
    const SenseFields f = parseSense(eod.sense);
    EXPECT_EQ(f.key, 8);
    EXPECT_EQ(f.asc, 0x00);
    EXPECT_EQ(f.ascq, 0x05);
    EXPECT_TRUE(f.informationValid);
    EXPECT_EQ(f.signedInformation(), 100);
    // REQUEST SENSE follows its DESC bit, not D_SENSE.
    EXPECT_EQ(bus->readVariable(100).sense[0], 0x72);
    EXPECT_EQ(bus->requestSense().data[0], 0xF0);
    EXPECT_EQ(bus->readVariable(100).sense[0], 0x72);
    const Answer described = bus->in(0, {0x03, 1, 0, 0, 29, 0}, 29);
    ASSERT_TRUE(described.good());
    EXPECT_EQ(described.data[0], 0x72);
    EXPECT_EQ(parseSense({described.data.data(), described.transferred()}).signedInformation(), 100);

    // A field pointer of an ILLEGAL REQUEST travels in a sense-key specific descriptor.
    const Answer refused = bus->in(0, {0x05, 1, 0, 0, 0, 0}, 6);
    ASSERT_TRUE(refused.check());
    EXPECT_EQ(refused.sense, (std::vector<uint8_t>{0x72, 0x05, 0x24, 0x00, 0, 0, 0, 8, 0x02, 0x06, 0, 0, 0xC8, 0,
                                                   1, 0}));

    // The profile key sets D_SENSE from the start, for every kind of device.
    auto described2 = busFor("[target 0]\ncartridge = no\ndescriptor_sense = yes\n[target 1]\ntype = disk\n"
                             "descriptor_sense = yes\n");
    ASSERT_TRUE(described2);
    for (uint8_t target : {0, 1}) {
        const Answer a = described2->none(target, {0x00, 0, 0, 0, 0, 0});
        const Answer opcode = described2->none(target, {0xC7, 0, 0, 0, 0, 0});
        ASSERT_TRUE(opcode.check());
        EXPECT_EQ(opcode.sense[0], 0x72) << int(target);
        EXPECT_EQ(parseSense(opcode.sense).asc, 0x20);
        if (target == 0) {
            ASSERT_TRUE(a.check());
            EXPECT_EQ(a.sense, (std::vector<uint8_t>{0x72, 0x02, 0x3A, 0x00, 0, 0, 0, 0}));
        }
    }
}

TEST_F(VirtualFaultsTest, SenseDeliveryFollowsTheRoomAsked) {
    auto bus = busFor("[target 0]\ncartridge = no\n");
    ASSERT_TRUE(bus);
    for (uint8_t room : {0, 14, 18, 64}) {
        RequestBlock srb;
        srb.command = SrbCommand::ExecuteScsi;
        srb.cdbLength = 6;
        srb.senseLength = room;
        bus->transport().sendSrb(srb);
        EXPECT_EQ(srb.status.load(), srb_status::Error);
        EXPECT_EQ(srb.targetStatus, target_status::CheckCondition);
        EXPECT_EQ(srb.senseLength, std::min<uint8_t>(room, 29)) << int(room);
    }
}

TEST_F(VirtualFaultsTest, ResetKeepsThePositionAndEndsPrevention) {
    auto bus = busFor("[target 0]\n");
    ASSERT_TRUE(bus);
    ASSERT_TRUE(bus->writeVariable(std::vector<uint8_t>(100, 1)).good());
    ASSERT_TRUE(bus->none(0, {0x1E, 0, 0, 0, 1, 0}).good());
    reset(*bus);
    EXPECT_EQ(bus->position(), 1);
    EXPECT_TRUE(bus->none(0, {0x1B, 0, 0, 0, 0, 0}).good());
}

TEST_F(VirtualFaultsTest, ResetFromAnotherThreadWhileCommandsRun) {
    auto bus = busFor("[target 0]\n");
    ASSERT_TRUE(bus);
    std::atomic<bool> stop{false};
    std::thread resetter([&] {
        while (!stop.load()) {
            RequestBlock srb;
            srb.command = SrbCommand::ResetDevice;
            bus->transport().sendSrb(srb);
            EXPECT_EQ(srb.status.load(), srb_status::Complete);
        }
    });
    const std::vector<uint8_t> block(4096, 0x5A);
    for (int i = 0; i < 200; ++i) {
        EXPECT_TRUE(bus->writeVariable(block).good());
        EXPECT_TRUE(bus->tur().good());
    }
    stop.store(true);
    resetter.join();
    EXPECT_EQ(bus->position(), 200);
}

}  // namespace
