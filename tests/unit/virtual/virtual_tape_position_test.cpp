// Moving on the virtual tape: SPACE, LOCATE, READ POSITION, early warning and the end of
// the cartridge, ERASE, LOAD/UNLOAD with PREVENT MEDIUM REMOVAL.
#include <gtest/gtest.h>

#include "support/test_root.h"
#include "virtual_bus.h"

using namespace vexal::device;
using vexal::testing::Answer;
using vexal::testing::pattern;
using vexal::testing::TempRoot;
using vexal::testing::transportFromProfile;
using vexal::testing::VirtualBus;

namespace {

class VirtualTapePositionTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        auto transport = makeVirtualTransport("", error);
        ASSERT_TRUE(transport) << error;
        bus = std::make_unique<VirtualBus>(transport);
    }
    // Objects: 0 B, 1 B, 2 FM, 3 B, 4 B, 5 B, 6 FM, 7 FM, 8 B, EOD at 9.
    void writeLayout() {
        for (uint8_t i = 0; i < 2; ++i) ASSERT_TRUE(bus->writeVariable(pattern(64, i)).good());
        ASSERT_TRUE(bus->writeFilemarks(1).good());
        for (uint8_t i = 0; i < 3; ++i) ASSERT_TRUE(bus->writeVariable(pattern(64, i)).good());
        ASSERT_TRUE(bus->writeFilemarks(2).good());
        ASSERT_TRUE(bus->writeVariable(pattern(64)).good());
        ASSERT_EQ(bus->position(), 9);
    }
    TempRoot root;
    std::unique_ptr<VirtualBus> bus;
};

TEST_F(VirtualTapePositionTest, SpaceOverBlocksFilemarksAndToEndOfData) {
    writeLayout();
    struct Case {
        const char* name;
        uint32_t from;
        uint8_t code;
        int32_t count;
        const char* outcome;
        bool filemark, eom;
        int32_t information;
        uint32_t to;
    } cases[] = {
        {"blocks forward", 3, 0, 2, "GOOD", false, false, 0, 5},
        {"blocks forward into a filemark", 0, 0, 5, "0/00/01", true, false, 3, 3},
        {"blocks back", 5, 0, -2, "GOOD", false, false, 0, 3},
        {"blocks back into a filemark", 5, 0, -4, "0/00/01", true, false, -2, 2},
        {"blocks back to the beginning", 2, 0, -5, "0/00/04", false, true, -3, 0},
        {"blocks forward to end-of-data", 8, 0, 3, "8/00/05", false, false, 2, 9},
        {"filemarks forward", 0, 1, 1, "GOOD", false, false, 0, 3},
        {"filemarks forward, two", 0, 1, 2, "GOOD", false, false, 0, 7},
        {"filemarks back", 9, 1, -1, "GOOD", false, false, 0, 7},
        {"filemarks back, three", 9, 1, -3, "GOOD", false, false, 0, 2},
        {"filemarks back past the beginning", 9, 1, -5, "0/00/04", false, true, -2, 0},
        {"filemarks forward to end-of-data", 3, 1, 4, "8/00/05", false, false, 2, 9},
        {"end-of-data", 1, 3, 0, "GOOD", false, false, 0, 9},
        {"count zero", 4, 0, 0, "GOOD", false, false, 0, 4},
        {"largest negative count", 1, 0, -8388608, "0/00/04", false, true, -8388607, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(bus->locate(c.from).good());
        const Answer a = bus->space(c.code, c.count);
        EXPECT_EQ(a.kcq(), c.outcome);
        if (!a.good()) {
            EXPECT_EQ(a.filemark(), c.filemark);
            EXPECT_EQ(a.eom(), c.eom);
            EXPECT_TRUE(a.valid());
            EXPECT_EQ(a.information(), c.information);
        }
        EXPECT_EQ(bus->position(), c.to);
    }
    EXPECT_EQ(bus->space(2, 1).kcq(), "5/24/00");  // sequential filemarks are not offered
}

TEST_F(VirtualTapePositionTest, LocateAndReadPosition) {
    writeLayout();
    ASSERT_TRUE(bus->locate(4).good());
    const Answer shortForm = bus->in(0, {0x34, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 20);
    ASSERT_TRUE(shortForm.good());
    EXPECT_EQ(shortForm.transferred(), 20u);
    EXPECT_EQ(shortForm.data[0] & 0xC0, 0);  // neither BOP nor EOP
    EXPECT_EQ(shortForm.data[7], 4);         // first block location
    EXPECT_EQ(shortForm.data[11], 4);        // last block location
    // Reading goes on from the located block.
    EXPECT_EQ(bus->readVariable(64).data, pattern(64, 1));

    // BT and change-partition to partition 0 are accepted; another partition is not.
    EXPECT_TRUE(bus->none(0, {0x2B, 0x04, 0, 0, 0, 0, 1, 0, 0, 0}).good());
    EXPECT_EQ(bus->position(), 1);
    EXPECT_TRUE(bus->none(0, {0x2B, 0x02, 0, 0, 0, 0, 0, 0, 0, 0}).good());
    const Answer bop = bus->in(0, {0x34, 0x01, 0, 0, 0, 0, 0, 0, 0, 0}, 20);
    EXPECT_EQ(bop.data[0] & 0x80, 0x80);
    EXPECT_EQ(bus->none(0, {0x2B, 0x02, 0, 0, 0, 0, 0, 0, 1, 0}).kcq(), "5/24/00");

    // Past end-of-data: blank check, the head at end-of-data.
    EXPECT_EQ(bus->locate(50).kcq(), "8/00/05");
    EXPECT_EQ(bus->position(), 9);

    // The long form counts objects and filemarks before the position.
    ASSERT_TRUE(bus->locate(8).good());
    const Answer longForm = bus->in(0, {0x34, 0x06, 0, 0, 0, 0, 0, 0, 32, 0}, 32);
    ASSERT_TRUE(longForm.good());
    EXPECT_EQ(longForm.transferred(), 32u);
    EXPECT_EQ(longForm.data[15], 8);  // logical object number
    EXPECT_EQ(longForm.data[23], 3);  // logical file identifier
    EXPECT_EQ(bus->in(0, {0x34, 0x07, 0, 0, 0, 0, 0, 0, 32, 0}, 32).kcq(), "5/24/00");
}

TEST_F(VirtualTapePositionTest, EraseEndsTheTapeAtThePosition) {
    writeLayout();
    ASSERT_TRUE(bus->locate(3).good());
    ASSERT_TRUE(bus->none(0, {0x19, 0x01, 0, 0, 0, 0}).good());  // long erase
    EXPECT_EQ(bus->readVariable(64).kcq(), "8/00/05");
    ASSERT_TRUE(bus->space(3, 0).good());
    EXPECT_EQ(bus->position(), 3);
    ASSERT_TRUE(bus->rewind().good());
    ASSERT_TRUE(bus->none(0, {0x19, 0x00, 0, 0, 0, 0}).good());  // short erase at the beginning
    ASSERT_TRUE(bus->space(3, 0).good());
    EXPECT_EQ(bus->position(), 0);
}

TEST_F(VirtualTapePositionTest, UnloadLoadAndPreventMediumRemoval) {
    writeLayout();
    ASSERT_TRUE(bus->none(0, {0x1E, 0, 0, 0, 1, 0}).good());
    EXPECT_EQ(bus->none(0, {0x1B, 0, 0, 0, 0, 0}).kcq(), "5/53/02");
    EXPECT_EQ(bus->position(), 9);  // a refused unload does not move the tape
    ASSERT_TRUE(bus->none(0, {0x1E, 0, 0, 0, 0, 0}).good());
    EXPECT_EQ(bus->none(0, {0x1E, 0, 0, 0, 2, 0}).kcq(), "5/24/00");

    ASSERT_TRUE(bus->none(0, {0x1B, 0x01, 0, 0, 0, 0}).good());  // immediate unload
    const Answer notReady = bus->tur();
    EXPECT_EQ(notReady.kcq(), "2/3A/00");
    EXPECT_EQ(bus->requestSense().data[12], 0x3A);  // REQUEST SENSE returns the last sense
    EXPECT_EQ(bus->readVariable(64).kcq(), "2/3A/00");

    ASSERT_TRUE(bus->none(0, {0x1B, 0, 0, 0, 1, 0}).good());
    EXPECT_TRUE(bus->tur().good());
    EXPECT_EQ(bus->position(), 0);
    EXPECT_EQ(bus->readVariable(64).data, pattern(64, 0));  // the same cartridge came back
    // Load with EOT is a bad field; retension rewinds.
    EXPECT_EQ(bus->none(0, {0x1B, 0, 0, 0, 0x05, 0}).kcq(), "5/24/00");
    ASSERT_TRUE(bus->none(0, {0x1B, 0, 0, 0, 0x03, 0}).good());
    EXPECT_EQ(bus->position(), 0);
}

TEST(VirtualTapeCapacityTest, EarlyWarningThenVolumeOverflow) {
    TempRoot root;
    std::string error;
    auto transport = transportFromProfile(root, "[target 0]\ntype = tape\ncapacity_mib = 4\n", &error);
    ASSERT_TRUE(transport) << error;
    VirtualBus bus(transport);
    // 4 MiB with a 2 MiB early-warning zone: 32 blocks of 64 KiB write quietly.
    const auto block = pattern(65536);
    for (int i = 0; i < 32; ++i) ASSERT_TRUE(bus.writeVariable(block).good()) << i;
    for (int i = 32; i < 64; ++i) {
        const Answer a = bus.writeVariable(block);
        EXPECT_EQ(a.kcq(), "0/00/02") << i;
        EXPECT_TRUE(a.eom());
        EXPECT_EQ(a.information(), 0);
        EXPECT_EQ(a.transferred(), 65536u);  // written all the same
    }
    const Answer position = bus.in(0, {0x34, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 20);
    EXPECT_EQ(position.data[0] & 0x40, 0x40);  // EOP: in the early-warning zone
    const Answer full = bus.writeVariable(block);
    EXPECT_EQ(full.kcq(), "D/00/02");
    EXPECT_TRUE(full.eom());
    EXPECT_EQ(full.information(), 65536);
    EXPECT_EQ(bus.position(), 64);
    // Fixed blocks fill what is left and report the blocks not written.
    ASSERT_TRUE(bus.locate(63).good());
    ASSERT_TRUE(bus.setBlockLength(16384).good());
    const Answer partial = bus.writeFixed(8, pattern(8 * 16384));
    EXPECT_EQ(partial.kcq(), "D/00/02");
    EXPECT_EQ(partial.information(), 4);
    EXPECT_EQ(bus.position(), 67);
    // Filemarks take no room and may still be written, with the warning.
    const Answer fm = bus.writeFilemarks(1);
    EXPECT_EQ(fm.kcq(), "0/00/02");
    EXPECT_TRUE(fm.eom());
    // REQUEST SENSE's vendor bytes show no tape remaining.
    const Answer sense = bus.requestSense();
    EXPECT_EQ(sense.data[25] | sense.data[26] | sense.data[27] | sense.data[28], 0);
}

}  // namespace
