#include "device/drive_family.h"

#include <gtest/gtest.h>

#include <array>

using namespace vexal::device;

namespace {

std::array<uint8_t, 56> inquiry(uint8_t type, uint8_t byte36) {
    std::array<uint8_t, 56> data{};
    data[0] = type;
    data[36] = byte36;
    return data;
}

TEST(DriveFamilyTest, FamilyTable) {
    struct Case {
        uint8_t type, byte36;
        bool pageC1;
        uint8_t expected;
    };
    const Case cases[] = {
        {1, 0x10, true, 254}, {1, 0x10, false, 1},   {1, 0x30, true, 254}, {1, 0x31, false, 3},
        {1, 0x50, true, 5},   {1, 0x50, false, 255}, {1, 0x70, true, 7},   {1, 0x70, false, 1},
        {1, 0x80, true, 8},   {1, 0x80, false, 1},   {1, 0xA1, true, 10},  {1, 0xA1, false, 254},
        {1, 0xB0, true, 11},  {1, 0xC0, false, 254}, {1, 0x00, true, 254}, {1, 0xF0, false, 254},
        {8, 0xA1, true, 254}, {0, 0xA1, true, 255},  {5, 0x00, false, 255},
        {0x21, 0xA1, true, 10},  // qualifier bits do not change the type
    };
    for (const Case& c : cases) {
        const auto data = inquiry(c.type, c.byte36);
        EXPECT_EQ(familyFromInquiry(true, data.data(), data.size(), c.pageC1), c.expected)
            << int(c.type) << "/" << std::hex << int(c.byte36) << "/" << c.pageC1;
    }
    const auto data = inquiry(1, 0xA1);
    EXPECT_EQ(familyFromInquiry(false, data.data(), data.size(), true), 0);
    EXPECT_EQ(familyFromInquiry(true, data.data(), 36, true), 254);  // too short for byte 36
}

TEST(DriveFamilyTest, AddressingIconsAndTexts) {
    EXPECT_FALSE(mayAddress(0, false));
    EXPECT_FALSE(mayAddress(255, false));
    EXPECT_TRUE(mayAddress(255, true));
    EXPECT_TRUE(mayAddress(254, false));
    for (uint8_t f : {1, 3, 5, 7, 8, 10, 11, 12}) EXPECT_EQ(familyIcon(f), 1) << int(f);
    EXPECT_EQ(familyIcon(254), 4);
    for (uint8_t f : {0, 2, 4, 255}) EXPECT_EQ(familyIcon(f), 2) << int(f);

    EXPECT_EQ(capacityText(0xA1), "110.0/220.0 GB");
    EXPECT_EQ(capacityText(0x0F), "Not Specified");
    EXPECT_EQ(capacityText(0x10), "Undetermined");
    EXPECT_EQ(codeTypeText(0xA0), "T Code");
    EXPECT_EQ(codeTypeText(0xA1), "V Code");
    EXPECT_EQ(codeTypeText(0xA2), "Unknown");
    EXPECT_EQ(deviceTypeName(9), "Communcations");
    EXPECT_EQ(deviceTypeName(0x0C), "Unknown");
    EXPECT_EQ(deviceTypeName(0x28), "Medium Changer");

    const std::string limited = familyLimitedMessage(kSktxOnly);
    EXPECT_NE(limited.find("It does not appear to be a supported tape drive.  This command supports SKTX tape "
                           "drives only.  If you feel"),
              std::string::npos);
}

}  // namespace
