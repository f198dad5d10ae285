// Reading and writing the virtual tape: variable and fixed blocks, filemarks, end-of-data,
// incorrect lengths, write protection, a missing cartridge and injected medium errors.
#include <gtest/gtest.h>

#include <cstring>

#include "device/device_library.h"
#include "support/test_root.h"
#include "virtual_bus.h"

using namespace vexal::device;
using vexal::testing::Answer;
using vexal::testing::pattern;
using vexal::testing::TempRoot;
using vexal::testing::transportFromProfile;
using vexal::testing::VirtualBus;

namespace {

class VirtualTapeIoTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        transport = makeVirtualTransport("", error);
        ASSERT_TRUE(transport) << error;
        bus = std::make_unique<VirtualBus>(transport);
    }
    void TearDown() override {
        DevFreeList();
        DevSetTransport(nullptr);
    }
    std::vector<uint8_t> blockRead(uint32_t length) {
        const Answer a = bus->readVariable(length);
        EXPECT_TRUE(a.good()) << a.kcq();
        return std::vector<uint8_t>(a.data.begin(), a.data.begin() + a.transferred());
    }
    TempRoot root;
    std::shared_ptr<Transport> transport;
    std::unique_ptr<VirtualBus> bus;
};

TEST_F(VirtualTapeIoTest, WritesAndReadsBackThroughTheDeviceLibrary) {
    DevSetTransport(transport);
    ASSERT_EQ(DevEnumerate(), 0);
    const std::vector<uint8_t> block = pattern(65536, 3);
    ASSERT_EQ(DevWriteBuffer(0, block.data(), 0, block.size()), 0);
    const uint8_t write[6] = {0x0A, 0x00, 0x01, 0x00, 0x00, 0};
    ASSERT_EQ(DevExecute(0, write, 6, 65536, 1), 0);
    const uint8_t filemarks[6] = {0x10, 0, 0, 0, 1, 0};
    ASSERT_EQ(DevExecute(0, filemarks, 6, 0, 0), 0);
    ASSERT_EQ(DevRewind(0), 0);

    std::vector<uint8_t> zeros(65536, 0);
    DevWriteBuffer(0, zeros.data(), 0, zeros.size());
    const uint8_t read[6] = {0x08, 0x00, 0x01, 0x00, 0x00, 0};
    ASSERT_EQ(DevExecute(0, read, 6, 65536, 0), 0);
    std::vector<uint8_t> back(65536);
    ASSERT_EQ(DevReadBuffer(0, back.data(), 0, back.size()), 0);
    EXPECT_EQ(back, block);

    // The filemark comes next: CHECK CONDITION with the filemark bit.
    EXPECT_EQ(DevExecute(0, read, 6, 65536, 0), 1);
    EXPECT_EQ(DevGetTargetStatus(0), target_status::CheckCondition);
    uint8_t sense[64] = {};
    DevGetStatus(0, sense, sizeof sense);
    EXPECT_EQ(sense[2], 0x80);
    EXPECT_EQ(sense[12], 0x00);
    EXPECT_EQ(sense[13], 0x01);
    EXPECT_GE(DevGetSenseLength(0), 18);
}

TEST_F(VirtualTapeIoTest, VariableAndFixedBlocksFilemarksAndEndOfDataReadBackInOrder) {
    const auto a = pattern(1000, 1), b = pattern(70000, 2), fixed = pattern(4 * 512, 3);
    ASSERT_TRUE(bus->writeVariable(a).good());
    ASSERT_TRUE(bus->writeVariable(b).good());
    ASSERT_TRUE(bus->writeFilemarks(2).good());
    ASSERT_TRUE(bus->setBlockLength(512).good());
    ASSERT_TRUE(bus->writeFixed(4, fixed).good());
    ASSERT_TRUE(bus->writeFilemarks(1).good());
    EXPECT_EQ(bus->position(), 2 + 2 + 4 + 1);
    ASSERT_TRUE(bus->rewind().good());
    EXPECT_EQ(bus->position(), 0);

    EXPECT_EQ(blockRead(1000), a);
    EXPECT_EQ(blockRead(70000), b);
    for (int i = 0; i < 2; ++i) {
        const Answer fm = bus->readVariable(100);
        EXPECT_EQ(fm.kcq(), "0/00/01");
        EXPECT_TRUE(fm.filemark());
        EXPECT_TRUE(fm.valid());
        EXPECT_EQ(fm.information(), 100);  // nothing of the 100 bytes was read
        EXPECT_EQ(fm.transferred(), 0u);
    }
    // Fixed mode: four 512-byte blocks in one command.
    const Answer f = bus->readFixed(4, 2048);
    ASSERT_TRUE(f.good()) << f.kcq();
    EXPECT_EQ(f.data, fixed);
    // Fixed mode across the filemark: the residue counts blocks, the head stops after it.
    const Answer past = bus->readFixed(3, 1536);
    EXPECT_EQ(past.kcq(), "0/00/01");
    EXPECT_EQ(past.information(), 3);
    EXPECT_EQ(bus->position(), 9);
    // Then end-of-data, where the head stays.
    for (int i = 0; i < 2; ++i) {
        const Answer eod = bus->readVariable(512);
        EXPECT_EQ(eod.kcq(), "8/00/05");
        EXPECT_FALSE(eod.filemark());
        EXPECT_EQ(eod.information(), 512);
        EXPECT_EQ(bus->position(), 9);
    }
}

TEST_F(VirtualTapeIoTest, WritingInTheMiddleMakesTheNewBlockTheLast) {
    for (uint8_t i = 0; i < 5; ++i) ASSERT_TRUE(bus->writeVariable(pattern(300, i)).good());
    ASSERT_TRUE(bus->locate(2).good());
    ASSERT_TRUE(bus->writeVariable(pattern(300, 99)).good());
    ASSERT_TRUE(bus->locate(1).good());
    EXPECT_EQ(blockRead(300), pattern(300, 1));
    EXPECT_EQ(blockRead(300), pattern(300, 99));
    EXPECT_EQ(bus->readVariable(300).kcq(), "8/00/05");
}

TEST_F(VirtualTapeIoTest, IncorrectLengthWithAndWithoutSili) {
    struct Case {
        const char* name;
        uint32_t blockLength;  // mode block length while reading (0: variable)
        uint32_t written;
        uint32_t requested;
        bool sili;
        bool ili;
        int32_t information;
        uint32_t transferred;
    } cases[] = {
        {"short block", 0, 800, 1000, false, true, 200, 800},
        {"long block", 0, 1000, 800, false, true, -200, 800},
        {"short block, SILI", 0, 800, 1000, true, false, 0, 800},
        {"long block, SILI, variable mode", 0, 1000, 800, true, false, 0, 800},
        {"long block, SILI, fixed block length set", 512, 1000, 800, true, true, -200, 800},
        {"exact length", 0, 1000, 1000, false, false, 0, 1000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(bus->setBlockLength(0).good());
        ASSERT_TRUE(bus->rewind().good());
        ASSERT_TRUE(bus->writeVariable(pattern(c.written)).good());
        ASSERT_TRUE(bus->writeVariable(pattern(10, 5)).good());
        ASSERT_TRUE(bus->rewind().good());
        ASSERT_TRUE(bus->setBlockLength(c.blockLength).good());
        const Answer a = bus->readVariable(c.requested, c.sili);
        EXPECT_EQ(a.good(), !c.ili);
        if (c.ili) {
            EXPECT_EQ(a.kcq(), "0/00/00");
            EXPECT_TRUE(a.ili());
            EXPECT_TRUE(a.valid());
            EXPECT_EQ(a.information(), c.information);
        }
        EXPECT_EQ(a.transferred(), c.transferred);
        EXPECT_TRUE(std::equal(a.data.begin(), a.data.begin() + a.transferred(), pattern(c.written).begin()));
        EXPECT_EQ(bus->position(), 1);  // past the block either way
    }
}

TEST_F(VirtualTapeIoTest, FixedModeIncorrectLengthCountsBlocksNotRead) {
    ASSERT_TRUE(bus->setBlockLength(512).good());
    ASSERT_TRUE(bus->writeFixed(2, pattern(1024)).good());
    ASSERT_TRUE(bus->setBlockLength(0).good());
    ASSERT_TRUE(bus->writeVariable(pattern(100)).good());
    ASSERT_TRUE(bus->rewind().good());
    ASSERT_TRUE(bus->setBlockLength(512).good());
    const Answer a = bus->readFixed(5, 5 * 512);
    EXPECT_EQ(a.kcq(), "0/00/00");
    EXPECT_TRUE(a.ili());
    EXPECT_EQ(a.information(), 3);  // two read, the third was the wrong length
    EXPECT_EQ(bus->position(), 3);
}

TEST_F(VirtualTapeIoTest, BadFieldsInReadAndWriteCdbs) {
    // Fixed transfers without a block length, SILI with FIXED, setmarks.
    EXPECT_EQ(bus->writeFixed(1, pattern(512)).kcq(), "5/24/00");
    EXPECT_EQ(bus->readFixed(1, 512).kcq(), "5/24/00");
    ASSERT_TRUE(bus->setBlockLength(512).good());
    EXPECT_EQ(bus->in(0, {0x08, 0x03, 0, 0, 1, 0}, 512).kcq(), "5/24/00");
    EXPECT_EQ(bus->none(0, {0x10, 0x02, 0, 0, 1, 0}).kcq(), "5/24/00");
    // A write whose data the initiator did not send ends as a data phase error, writing nothing.
    EXPECT_EQ(bus->out(0, {0x0A, 0, 0, 4, 0, 0}, pattern(512)).kcq(), "B/4B/00");
    EXPECT_EQ(bus->position(), 0);
    // Zero-length transfers do nothing and succeed.
    EXPECT_TRUE(bus->none(0, {0x0A, 0, 0, 0, 0, 0}).good());
    EXPECT_TRUE(bus->none(0, {0x08, 0, 0, 0, 0, 0}).good());
    EXPECT_EQ(bus->position(), 0);
}

TEST_F(VirtualTapeIoTest, ReadsCutToASmallerBufferStillPassTheBlock) {
    ASSERT_TRUE(bus->writeVariable(pattern(4096)).good());
    ASSERT_TRUE(bus->writeVariable(pattern(16, 1)).good());
    ASSERT_TRUE(bus->rewind().good());
    const Answer a = bus->readVariable(4096, false, 1000);
    EXPECT_TRUE(a.good());
    EXPECT_EQ(a.transferred(), 1000u);
    EXPECT_EQ(bus->position(), 1);
}

class VirtualTapeProfileTest : public ::testing::Test {
protected:
    std::unique_ptr<VirtualBus> busFor(const std::string& profile) {
        std::string error;
        auto t = transportFromProfile(root, profile, &error);
        EXPECT_TRUE(t) << error;
        return t ? std::make_unique<VirtualBus>(t) : nullptr;
    }
    TempRoot root;
};

TEST_F(VirtualTapeProfileTest, WriteProtectedCartridgeRefusesEveryWrite) {
    auto bus = busFor("[target 0]\ntype = tape\nwrite_protect = yes\n");
    ASSERT_TRUE(bus);
    EXPECT_EQ(bus->writeVariable(pattern(512)).kcq(), "7/27/00");
    EXPECT_EQ(bus->writeFilemarks(1).kcq(), "7/27/00");
    EXPECT_EQ(bus->none(0, {0x19, 1, 0, 0, 0, 0}).kcq(), "7/27/00");
    EXPECT_EQ(bus->position(), 0);
    EXPECT_TRUE(bus->tur().good());
    // MODE SENSE shows the WP bit in the device-specific parameter.
    const Answer mode = bus->in(0, {0x1A, 0, 0, 0, 12, 0}, 12);
    EXPECT_EQ(mode.data[2] & 0x80, 0x80);
}

TEST_F(VirtualTapeProfileTest, NoCartridgeMakesMediumCommandsNotReady) {
    auto bus = busFor("[target 0]\ntype = tape\ncartridge = no\n");
    ASSERT_TRUE(bus);
    const std::vector<std::vector<uint8_t>> medium = {
        {0x00, 0, 0, 0, 0, 0}, {0x01, 0, 0, 0, 0, 0}, {0x08, 0, 0, 0, 16, 0}, {0x10, 0, 0, 0, 1, 0},
        {0x11, 0, 0, 0, 1, 0}, {0x19, 0, 0, 0, 0, 0}, {0x2B, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {0x34, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {0x1B, 0, 0, 0, 1, 0},  // load: nothing to load
        {0x1B, 0, 0, 0, 0, 0},  // unload: nothing to unload
    };
    for (const auto& cdb : medium) EXPECT_EQ(bus->in(0, cdb, 16).kcq(), "2/3A/00") << int(cdb[0]);
    // Commands that do not need a cartridge still work.
    EXPECT_TRUE(bus->in(0, {0x05, 0, 0, 0, 0, 0}, 6).good());
    EXPECT_TRUE(bus->in(0, {0x1A, 0, 0, 0, 12, 0}, 12).good());
    EXPECT_TRUE(bus->in(0, {0x12, 0, 0, 0, 56, 0}, 56).good());
    EXPECT_TRUE(bus->none(0, {0x1E, 0, 0, 0, 1, 0}).good());
}

TEST_F(VirtualTapeProfileTest, MediumErrorAtOneBlock) {
    auto bus = busFor("[target 0]\ntype = tape\nmedium_error_at = 2\n");
    ASSERT_TRUE(bus);
    ASSERT_TRUE(bus->setBlockLength(512).good());
    // Writing: blocks 0 and 1 go on tape, block 2 fails with the residue in blocks.
    const Answer w = bus->writeFixed(4, pattern(2048));
    EXPECT_EQ(w.kcq(), "3/0C/00");
    EXPECT_EQ(w.information(), 2);
    EXPECT_EQ(bus->position(), 2);
    // A variable block there fails too, residue in bytes.
    const Answer v = bus->out(0, {0x0A, 0, 0, 2, 0, 0}, pattern(512));
    EXPECT_EQ(v.kcq(), "3/0C/00");
    EXPECT_EQ(v.information(), 512);
    ASSERT_TRUE(bus->rewind().good());
    EXPECT_TRUE(bus->readFixed(2, 1024).good());
    EXPECT_EQ(bus->readFixed(1, 512).kcq(), "8/00/05");  // nothing was written at block 2
}

TEST_F(VirtualTapeProfileTest, MediumErrorWhenReadingTheBlock) {
    // Written by a profile without the fault, read by one with it: the same cartridge.
    {
        auto writer = busFor("[target 0]\ntype = tape\n");
        ASSERT_TRUE(writer);
        for (uint8_t i = 0; i < 3; ++i) ASSERT_TRUE(writer->writeVariable(pattern(100, i)).good());
        ASSERT_TRUE(writer->rewind().good());
    }
    auto bus = busFor("[target 0]\ntype = tape\nmedium_error_at = 1\n");
    ASSERT_TRUE(bus);
    EXPECT_TRUE(bus->readVariable(100).good());
    const Answer bad = bus->readVariable(100);
    EXPECT_EQ(bad.kcq(), "3/11/00");
    EXPECT_EQ(bad.information(), 100);
    EXPECT_EQ(bus->position(), 2);  // the head passes the bad block
    EXPECT_TRUE(bus->readVariable(100).good());
}

}  // namespace
