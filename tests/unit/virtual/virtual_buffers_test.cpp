// READ BUFFER and WRITE BUFFER of the virtual tape drive: the data buffers, their
// descriptors and bounds, the combined header and data mode, and the echo buffer.
#include <gtest/gtest.h>

#include "support/test_root.h"
#include "virtual_bus.h"

using namespace vexal::device;
using vexal::testing::Answer;
using vexal::testing::pattern;
using vexal::testing::TempRoot;
using vexal::testing::VirtualBus;

namespace {

std::vector<uint8_t> bufferCdb(uint8_t opcode, uint8_t mode, uint8_t id, uint32_t offset, uint32_t length) {
    return {opcode,
            mode,
            id,
            uint8_t(offset >> 16),
            uint8_t(offset >> 8),
            uint8_t(offset),
            uint8_t(length >> 16),
            uint8_t(length >> 8),
            uint8_t(length),
            0};
}

class VirtualBuffersTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        auto transport = makeVirtualTransport("", error);
        ASSERT_TRUE(transport) << error;
        bus = std::make_unique<VirtualBus>(transport);
    }
    Answer write(uint8_t mode, uint8_t id, uint32_t offset, const std::vector<uint8_t>& data) {
        return bus->out(0, bufferCdb(0x3B, mode, id, offset, uint32_t(data.size())), data);
    }
    Answer read(uint8_t mode, uint8_t id, uint32_t offset, uint32_t length, uint32_t room = 0) {
        return bus->in(0, bufferCdb(0x3C, mode, id, offset, length), room ? room : length);
    }
    std::vector<uint8_t> got(const Answer& a) {
        return std::vector<uint8_t>(a.data.begin(), a.data.begin() + a.transferred());
    }
    TempRoot root;
    std::unique_ptr<VirtualBus> bus;
};

TEST_F(VirtualBuffersTest, DescriptorsGiveEachBuffersCapacityAndOffsetBoundary) {
    struct Case {
        uint8_t id;
        std::vector<uint8_t> descriptor;
    } cases[] = {
        {0, {0x00, 0x01, 0x00, 0x00}},  // 64 KiB, any offset
        {1, {0x02, 0x00, 0x20, 0x00}},  // 8 KiB, offsets of 4
        {2, {0x00, 0x00, 0x04, 0x00}},  // 1 KiB
        {3, {0, 0, 0, 0}},              // no buffer: all zero
    };
    for (const auto& c : cases) {
        const Answer a = read(0x03, c.id, 0, 4);
        ASSERT_TRUE(a.good()) << a.kcq();
        EXPECT_EQ(got(a), c.descriptor) << int(c.id);
    }
    EXPECT_EQ(read(0x03, 0, 0, 2).transferred(), 2u);  // cut to the allocation length
    const Answer echo = read(0x0B, 0, 0, 4);
    ASSERT_TRUE(echo.good());
    EXPECT_EQ(got(echo), (std::vector<uint8_t>{0, 0, 0x10, 0x00}));  // 4096 bytes, EBOS 0
}

TEST_F(VirtualBuffersTest, DataRoundTripsInEveryBufferAndBuffersAreSeparate) {
    const auto a = pattern(65536, 1), b = pattern(8192, 2), c = pattern(1024, 3);
    ASSERT_TRUE(write(0x02, 0, 0, a).good());
    ASSERT_TRUE(write(0x02, 1, 0, b).good());
    ASSERT_TRUE(write(0x02, 2, 0, c).good());
    EXPECT_EQ(got(read(0x02, 0, 0, 65536)), a);
    EXPECT_EQ(got(read(0x02, 1, 0, 8192)), b);
    EXPECT_EQ(got(read(0x02, 2, 0, 1024)), c);
    // A write at an offset changes only those bytes.
    const auto patch = pattern(100, 7);
    ASSERT_TRUE(write(0x02, 0, 1000, patch).good());
    const auto back = got(read(0x02, 0, 990, 120));
    EXPECT_EQ(std::vector<uint8_t>(back.begin(), back.begin() + 10), std::vector<uint8_t>(a.begin() + 990, a.begin() + 1000));
    EXPECT_EQ(std::vector<uint8_t>(back.begin() + 10, back.begin() + 110), patch);
    EXPECT_EQ(std::vector<uint8_t>(back.begin() + 110, back.end()), std::vector<uint8_t>(a.begin() + 1100, a.begin() + 1110));
    // Up to the last byte, and a read past the end returns what is there.
    ASSERT_TRUE(write(0x02, 2, 1023, {0x5A}).good());
    const Answer tail = read(0x02, 2, 1020, 100);
    ASSERT_TRUE(tail.good()) << tail.kcq();
    EXPECT_EQ(tail.transferred(), 4u);
    EXPECT_EQ(tail.data[3], 0x5A);
}

TEST_F(VirtualBuffersTest, HeaderAndDataModeUsesBufferZero) {
    const auto data = pattern(300, 4);
    std::vector<uint8_t> withHeader = {0, 0, 0, 0};
    withHeader.insert(withHeader.end(), data.begin(), data.end());
    ASSERT_TRUE(write(0x00, 0, 0, withHeader).good());
    const Answer a = read(0x00, 0, 0, 4 + 300);
    ASSERT_TRUE(a.good()) << a.kcq();
    EXPECT_EQ(std::vector<uint8_t>(a.data.begin(), a.data.begin() + 4), (std::vector<uint8_t>{0, 0x01, 0x00, 0x00}));
    EXPECT_EQ(std::vector<uint8_t>(a.data.begin() + 4, a.data.end()), data);
    EXPECT_EQ(got(read(0x02, 0, 0, 300)), data);
    EXPECT_EQ(read(0x00, 0, 0, 3).transferred(), 3u);
}

TEST_F(VirtualBuffersTest, EchoBufferReturnsWhatWasLastWritten) {
    EXPECT_EQ(read(0x0A, 0, 0, 64).kcq(), "5/2C/00");  // nothing written yet
    const auto first = pattern(4096, 5), second = pattern(10, 6);
    ASSERT_TRUE(write(0x0A, 0, 0, first).good());
    EXPECT_EQ(got(read(0x0A, 0, 0, 4096)), first);
    ASSERT_TRUE(write(0x0A, 0, 0, second).good());
    EXPECT_EQ(got(read(0x0A, 0, 0, 4096)), second);
    EXPECT_EQ(read(0x0A, 0, 0, 4).transferred(), 4u);
    // The echo buffer is not buffer 0.
    EXPECT_NE(got(read(0x02, 0, 0, 10)), second);
}

TEST_F(VirtualBuffersTest, OutOfBoundsAndUnsupportedRequestsAreRefused) {
    struct Case {
        const char* name;
        std::vector<uint8_t> cdb;
        std::vector<uint8_t> data;  // empty: READ BUFFER
        const char* kcq;
        uint16_t fieldByte;
    } cases[] = {
        {"write past the capacity", bufferCdb(0x3B, 2, 2, 1000, 25), std::vector<uint8_t>(25), "5/24/00", 6},
        {"write offset past the end", bufferCdb(0x3B, 2, 0, 65537, 0), {}, "5/24/00", 3},
        {"read offset at the end", bufferCdb(0x3C, 2, 0, 65536, 10), {}, "5/24/00", 3},
        {"offset off the boundary", bufferCdb(0x3C, 2, 1, 6, 10), {}, "5/24/00", 3},
        {"unknown buffer", bufferCdb(0x3C, 2, 3, 0, 10), {}, "5/24/00", 2},
        {"header mode with a buffer ID", bufferCdb(0x3C, 0, 1, 0, 10), {}, "5/24/00", 2},
        {"header mode with an offset", bufferCdb(0x3B, 0, 0, 4, 8), std::vector<uint8_t>(8), "5/24/00", 3},
        {"header mode, too much data", bufferCdb(0x3B, 0, 0, 0, 65541), std::vector<uint8_t>(65541), "5/24/00", 6},
        {"echo too long", bufferCdb(0x3B, 0x0A, 0, 0, 4097), std::vector<uint8_t>(4097), "5/24/00", 6},
        // Microcode download takes only the drive's own images (see virtual_firmware_test.cpp).
        {"download microcode of no image", bufferCdb(0x3B, 0x04, 0, 0, 16), std::vector<uint8_t>(16), "5/26/00", 0},
        {"download microcode and save of no image", bufferCdb(0x3B, 0x05, 0, 0, 16), std::vector<uint8_t>(16),
         "5/26/00", 0},
        {"download with offsets and save", bufferCdb(0x3B, 0x07, 0, 0, 16), std::vector<uint8_t>(16), "5/24/00", 1},
        {"vendor read mode", bufferCdb(0x3C, 0x01, 0, 0, 16), {}, "5/24/00", 1},
        {"reserved mode bits", bufferCdb(0x3C, 0x22, 0, 0, 16), {}, "5/24/00", 1},
    };
    for (const auto& c : cases) {
        const Answer a = c.cdb[0] == 0x3B ? bus->out(0, c.cdb, c.data) : bus->in(0, c.cdb, 64);
        EXPECT_EQ(a.kcq(), c.kcq) << c.name;
        ASSERT_GT(a.sense.size(), 17u) << c.name;
        EXPECT_EQ(a.sense[16] << 8 | a.sense[17], c.fieldByte) << c.name;
    }
    // The initiator sent less than the parameter list length.
    EXPECT_EQ(bus->out(0, bufferCdb(0x3B, 2, 0, 0, 100), std::vector<uint8_t>(50)).kcq(), "B/4B/00");
    // Nothing of the refused writes landed.
    EXPECT_EQ(got(read(0x02, 2, 1000, 24)), std::vector<uint8_t>(24, 0));
}

}  // namespace
