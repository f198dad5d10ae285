#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "device/iscsi/scsi_result.h"

using namespace vexal::device::iscsi;

namespace {

std::vector<uint8_t> fixedSense(uint8_t key, uint8_t asc, uint8_t ascq) {
    std::vector<uint8_t> sense(18, 0);
    sense[0] = 0x70;
    sense[2] = key;
    sense[7] = 10;
    sense[12] = asc;
    sense[13] = ascq;
    return sense;
}

TEST(IscsiSense, TakesTheBytesAfterTheLengthPrefixWithinEveryBound) {
    struct Case {
        std::vector<uint8_t> segment;
        size_t room;
        size_t expected;
    };
    std::vector<uint8_t> full = {0x00, 0x12};
    const std::vector<uint8_t> sense = fixedSense(8, 0, 5);
    full.insert(full.end(), sense.begin(), sense.end());
    std::vector<uint8_t> overstated = full;
    overstated[1] = 0xFF;  // claims 255 bytes, carries 18
    std::vector<uint8_t> huge(2 + 200, 0x70);
    huge[0] = 0x00;
    huge[1] = 200;
    const Case cases[] = {
        {full, 64, 18},
        {full, 14, 14},
        {full, 0, 0},
        {overstated, 64, 18},
        {huge, 64, 64},
        {{0x00, 0x00}, 64, 0},
        {{0x00}, 64, 0},
        {{}, 64, 0},
    };
    for (const Case& c : cases) {
        std::array<uint8_t, 64> out{};
        EXPECT_EQ(extractSense(c.segment, out.data(), c.room), c.expected);
        if (c.expected > 0) {
            EXPECT_EQ(out[0], c.segment[2]);
        }
    }
}

TEST(IscsiSense, DecodesFixedAndDescriptorFormats) {
    SenseCode code;
    ASSERT_TRUE(decodeSense(fixedSense(0x08, 0x00, 0x05), code));
    EXPECT_EQ(code.key, 8);
    EXPECT_EQ(code.ascq, 5);

    const std::vector<uint8_t> descriptor = {0x72, 0x05, 0x25, 0x00, 0, 0, 0, 0};
    ASSERT_TRUE(decodeSense(descriptor, code));
    EXPECT_EQ(code.key, 5);
    EXPECT_EQ(code.asc, 0x25);

    // Fixed sense cut after the key: the key only.
    const std::vector<uint8_t> shortFixed = {0xF0, 0x00, 0x06};
    ASSERT_TRUE(decodeSense(shortFixed, code));
    EXPECT_EQ(code.key, 6);
    EXPECT_EQ(code.asc, 0);

    EXPECT_FALSE(decodeSense(std::vector<uint8_t>{}, code));
    EXPECT_FALSE(decodeSense(std::vector<uint8_t>{0x70, 0x00}, code));
    EXPECT_FALSE(decodeSense(std::vector<uint8_t>{0x72, 0x05}, code));
    EXPECT_FALSE(decodeSense(std::vector<uint8_t>{0x7F, 0x00, 0x05, 0, 0, 0, 0, 0}, code));
}

TEST(IscsiSense, RecognisesTheAnswersThatMeanNoLogicalUnit) {
    EXPECT_TRUE(isLunNotSupported(fixedSense(0x05, 0x25, 0x00)));
    EXPECT_FALSE(isLunNotSupported(fixedSense(0x05, 0x24, 0x00)));
    EXPECT_FALSE(isLunNotSupported(fixedSense(0x06, 0x25, 0x00)));
    EXPECT_FALSE(isLunNotSupported(fixedSense(0x05, 0x25, 0x01)));

    EXPECT_TRUE(isQualifierAbsent(std::vector<uint8_t>{0x7F, 0x00}));
    EXPECT_TRUE(isQualifierAbsent(std::vector<uint8_t>{0x61}));
    EXPECT_FALSE(isQualifierAbsent(std::vector<uint8_t>{0x01}));  // connected tape
    EXPECT_FALSE(isQualifierAbsent(std::vector<uint8_t>{0x21}));  // qualifier 1: not connected now
    EXPECT_FALSE(isQualifierAbsent(std::vector<uint8_t>{}));

    const uint8_t standard[6] = {0x12, 0, 0, 0, 36, 0};
    const uint8_t page[6] = {0x12, 0x01, 0x80, 0, 36, 0};
    const uint8_t read[6] = {0x08, 0, 0, 0, 1, 0};
    EXPECT_TRUE(isStandardInquiry(standard, 6));
    EXPECT_FALSE(isStandardInquiry(page, 6));
    EXPECT_FALSE(isStandardInquiry(read, 6));
    EXPECT_FALSE(isStandardInquiry(standard, 5));
    EXPECT_FALSE(isStandardInquiry(nullptr, 6));
}

}  // namespace
