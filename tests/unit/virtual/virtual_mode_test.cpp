// Mode parameters of the virtual tape drive and READ BLOCK LIMITS.
#include <gtest/gtest.h>

#include "support/test_root.h"
#include "virtual_bus.h"

using namespace vexal::device;
using vexal::testing::Answer;
using vexal::testing::pattern;
using vexal::testing::TempRoot;
using vexal::testing::VirtualBus;

namespace {

class VirtualModeTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        auto transport = makeVirtualTransport("", error);
        ASSERT_TRUE(transport) << error;
        bus = std::make_unique<VirtualBus>(transport);
    }
    Answer sense6(uint8_t pageByte, uint8_t length, bool dbd = false) {
        return bus->in(0, {0x1A, uint8_t(dbd ? 0x08 : 0), pageByte, 0, length, 0}, length);
    }
    TempRoot root;
    std::unique_ptr<VirtualBus> bus;
};

TEST_F(VirtualModeTest, ModeSenseLayouts) {
    struct Case {
        const char* name;
        std::vector<uint8_t> cdb;
        size_t length;          // bytes the drive returns
        size_t descriptorAt;    // 0: no block descriptor
        std::vector<uint8_t> pages;
    } cases[] = {
        {"(6) header and descriptor", {0x1A, 0, 0x00, 0, 255, 0}, 12, 4, {}},
        {"(6) compression page without descriptor", {0x1A, 0x08, 0x0F, 0, 255, 0}, 20, 0, {0x0F}},
        {"(6) all pages", {0x1A, 0, 0x3F, 0, 255, 0}, 56, 4, {0x0A, 0x0F, 0x10}},
        {"(10) configuration page", {0x5A, 0, 0x10, 0, 0, 0, 0, 0, 255, 0}, 32, 8, {0x10}},
        {"(10) all pages, no descriptor", {0x5A, 0x08, 0x3F, 0, 0, 0, 0, 0, 255, 0}, 52, 0, {0x0A, 0x0F, 0x10}},
        {"(6) control page", {0x1A, 0x08, 0x0A, 0, 255, 0}, 16, 0, {0x0A}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const bool ten = c.cdb[0] == 0x5A;
        const Answer a = bus->in(0, c.cdb, 255);
        ASSERT_TRUE(a.good()) << a.kcq();
        ASSERT_EQ(a.transferred(), c.length);
        const size_t dataLength = ten ? (a.data[0] << 8 | a.data[1]) + 2u : a.data[0] + 1u;
        EXPECT_EQ(dataLength, c.length);
        const uint8_t specific = a.data[ten ? 3 : 2];
        EXPECT_EQ(specific, 0x10);  // buffered mode 1, not write protected
        const size_t descriptorLength = ten ? (a.data[6] << 8 | a.data[7]) : a.data[3];
        EXPECT_EQ(descriptorLength, c.descriptorAt ? 8u : 0u);
        if (c.descriptorAt) {
            EXPECT_NE(a.data[c.descriptorAt], 0);  // density code
            EXPECT_EQ(a.data[c.descriptorAt + 7], 0);  // variable blocks at power-on
        }
        size_t at = (ten ? 8 : 4) + descriptorLength;
        for (uint8_t page : c.pages) {
            const size_t size = page == 0x0A ? 12 : 16;
            EXPECT_EQ(a.data[at] & 0x3F, page);
            EXPECT_EQ(a.data[at + 1], size - 2);
            if (page == 0x0F) {
                EXPECT_EQ(a.data[at + 2], 0xC0);  // DCE and DCC
            }
            if (page == 0x0A) {
                EXPECT_EQ(a.data[at + 2], 0x00);  // D_SENSE off: fixed-format sense
            }
            at += size;
        }
    }
    EXPECT_EQ(sense6(0x01, 255).kcq(), "5/24/00");          // a page the drive does not have
    EXPECT_EQ(bus->in(0, {0x1A, 0, 0x0F, 1, 255, 0}, 255).kcq(), "5/24/00");  // a sub-page
    EXPECT_EQ(sense6(0x0F, 10).transferred(), 10u);          // cut to the allocation length
}

TEST_F(VirtualModeTest, PageControlChangeableDefaultAndSaved) {
    ASSERT_TRUE(bus->setBlockLength(1024).good());
    const Answer changeable = sense6(0x40 | 0x0F, 255);
    ASSERT_TRUE(changeable.good());
    EXPECT_EQ(changeable.data[4 + 5], 0xFF);  // block length may change
    EXPECT_EQ(changeable.data[4 + 0], 0x00);  // density may not
    EXPECT_EQ(changeable.data[12 + 2], 0x80);  // DCE may change, DCC not
    for (uint8_t control : {0x80, 0xC0}) {
        const Answer a = sense6(control, 12);
        ASSERT_TRUE(a.good());
        EXPECT_EQ(a.data[4 + 6] << 8 | a.data[4 + 7], 0) << int(control);  // the power-on value
    }
    const Answer current = sense6(0x00, 12);
    EXPECT_EQ(current.data[4 + 6] << 8 | current.data[4 + 7], 1024);
}

TEST_F(VirtualModeTest, SetBlockSizeAndCompressionAsTheCommandsDoIt) {
    // Set block size: MODE SENSE(6) of 12 bytes, byte 0 cleared, new length, MODE SELECT(6).
    Answer mode = sense6(0x00, 12);
    ASSERT_TRUE(mode.good());
    mode.data[0] = 0;
    mode.data[9] = 0x00;
    mode.data[10] = 0x02;
    mode.data[11] = 0x00;
    ASSERT_TRUE(bus->out(0, {0x15, 0x10, 0, 0, 12, 0}, mode.data).good());
    EXPECT_EQ(sense6(0x00, 12).data[10], 0x02);
    ASSERT_TRUE(bus->writeFixed(2, pattern(1024)).good());
    EXPECT_EQ(bus->position(), 2);

    // Compression off and on again through page 0Fh, byte 6 of the 20 bytes.
    for (uint8_t value : {0x40, 0xC0}) {
        Answer page = sense6(0x0F, 20, true);
        ASSERT_TRUE(page.good());
        page.data[0] = 0;
        page.data[6] = value;
        ASSERT_TRUE(bus->out(0, {0x15, 0x10, 0, 0, 20, 0}, page.data).good()) << int(value);
        EXPECT_EQ(sense6(0x0F, 20, true).data[6], value);
        // The configuration page's algorithm selector follows.
        EXPECT_EQ(sense6(0x10, 20, true).data[4 + 14], value == 0xC0 ? 1 : 0);
    }
}

TEST_F(VirtualModeTest, ModeSelectRefusesWhatCannotChange) {
    struct Case {
        const char* name;
        std::vector<uint8_t> cdb;
        std::vector<uint8_t> data;
        const char* outcome;
    } cases[] = {
        {"other density", {0x15, 0x10, 0, 0, 12, 0}, {0, 0, 0x10, 8, 0x77, 0, 0, 0, 0, 0, 2, 0}, "5/26/00"},
        {"descriptor length 4", {0x15, 0x10, 0, 0, 8, 0}, {0, 0, 0x10, 4, 0, 0, 0, 0}, "5/26/00"},
        {"buffered mode 2", {0x15, 0x10, 0, 0, 4, 0}, {0, 0, 0x20, 0}, "5/26/00"},
        {"save pages", {0x15, 0x11, 0, 0, 12, 0}, {0, 0, 0x10, 8, 0, 0, 0, 0, 0, 0, 2, 0}, "5/24/00"},
        {"page cut short", {0x15, 0x10, 0, 0, 10, 0}, {0, 0, 0x10, 0, 0x0F, 0x0E, 0xC0, 0x80, 0, 0}, "5/1A/00"},
        {"unknown page", {0x15, 0x10, 0, 0, 8, 0}, {0, 0, 0x10, 0, 0x02, 0x02, 0, 0}, "5/26/00"},
        {"fixed field of page 0Fh",
         {0x15, 0x10, 0, 0, 20, 0},
         {0, 0, 0x10, 0, 0x0F, 0x0E, 0x80, 0x80, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0},
         "5/26/00"},
        {"control page: a field other than D_SENSE",
         {0x15, 0x10, 0, 0, 16, 0},
         {0, 0, 0x10, 0, 0x0A, 0x0A, 0x04, 0x10, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0},
         "5/26/00"},
        {"control page of the wrong length", {0x15, 0x10, 0, 0, 8, 0}, {0, 0, 0x10, 0, 0x0A, 0x02, 0x04, 0}, "5/26/00"},
        {"header only", {0x15, 0x10, 0, 0, 4, 0}, {0, 0, 0x10, 0}, "GOOD"},
        {"(10) with descriptor",
         {0x55, 0x10, 0, 0, 0, 0, 0, 0, 16, 0},
         {0, 0, 0, 0x10, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0x10, 0},
         "GOOD"},
    };
    for (const auto& c : cases) {
        const Answer a = bus->out(0, c.cdb, c.data);
        EXPECT_EQ(a.kcq(), c.outcome) << c.name;
    }
    EXPECT_EQ(sense6(0x00, 12).data[10], 0x10);  // the last case set 4096-byte blocks
}

TEST_F(VirtualModeTest, ReadBlockLimits) {
    const Answer a = bus->in(0, {0x05, 0, 0, 0, 0, 0}, 6);
    ASSERT_TRUE(a.good());
    EXPECT_EQ(a.data, (std::vector<uint8_t>{0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x01}));
    EXPECT_EQ(bus->in(0, {0x05, 1, 0, 0, 0, 0}, 20).kcq(), "5/24/00");
}

}  // namespace
