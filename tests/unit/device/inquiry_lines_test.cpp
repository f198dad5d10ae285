// The identity lines of standard INQUIRY data: every line of a full answer in order, and
// only the lines whose bytes a short answer carries.
#include "device/inquiry_lines.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

using namespace vexal::device;

namespace {

std::string_view familyOf(uint8_t byte36) { return byte36 == 0xA1 ? "A-family" : "other"; }

// A tape drive: vendor "KORV", product "DRIVE", revision "V123", family byte A1h, version
// bytes 1 to 13, loader 2 (unknown), library present, module revision "M1".
std::array<uint8_t, 56> identity() {
    std::array<uint8_t, 56> d{};
    d[0] = 0x01;
    d[2] = 0x03;
    d[6] = 0x08;
    d[7] = 0x12;
    std::memcpy(&d[8], "KORV    ", 8);
    std::memcpy(&d[16], "DRIVE", 5);
    std::memcpy(&d[32], "V123", 4);
    d[36] = 0xA1;
    for (size_t i = 0; i < 13; ++i) d[37 + i] = static_cast<uint8_t>(i + 1);
    d[50] = 2;
    d[51] = 1;
    std::memcpy(&d[52], "M1", 2);
    return d;
}

TEST(InquiryLinesTest, FullAnswerListsEveryFieldInOrder) {
    const auto d = identity();
    const std::vector<std::string> expected{
        "   Device Type: Tape", "   ANSI Version: 3", "   Media Chngr Present: Yes", "   SftRe: No",
        "   Tagged Command Queuing: Yes", "   Linked Commands Support: No", "   Synchronous Data Transfers: Yes",
        "   16-bit Data Transfer Support: No", "   32-bit Data Transfer Support: No", "   Relative Addressing: No",
        "   Vendor ID: KORV    ", "   Product ID: DRIVE", "   Product Revision Level: V123",
        "   Product Family: A-family", "   Released Firmware: Released Code (Vxxx)",
        "   Firmware Major Version: 1", "   Firmware Minor Version: 2", "   EEPROM Format Major Version: 3",
        "   EEPROM Format Minor Version: 4", "   Firmware Personality: 5", "   Firmware SubPersonality: 6",
        "   TapeDir Format Version: 7", "   Controller Hardware Version: 8", "   Drive EEPROM Version: 9",
        "   Drive Hardware Version: 10", "   Media Loader Firmware Version: 11",
        "   Media Loader Hardware Version: 12", "   Media Loader Mechanical Version: 13", "   Loader Present: Unknown",
        "   Library Present: Yes", "   Module Revision: M1"};
    EXPECT_EQ(inquiryLines(d.data(), d.size(), {true, familyOf}), expected);
    // Without the vendor block the list ends with the revision level.
    const auto plain = inquiryLines(d.data(), d.size(), {false, familyOf});
    EXPECT_EQ(plain, std::vector<std::string>(expected.begin(), expected.begin() + 13));
}

TEST(InquiryLinesTest, ShortAnswerShowsOnlyWhatCame) {
    const auto d = identity();
    struct Case {
        size_t length;
        size_t lines;
        const char* last;
    } const cases[] = {
        {0, 0, nullptr},
        {1, 1, "   Device Type: Tape"},
        {7, 3, "   Media Chngr Present: Yes"},
        {10, 11, "   Vendor ID: KO"},  // a field cut short is shown as far as it came
        {37, 15, "   Released Firmware: Released Code (Vxxx)"},
        {40, 18, "   EEPROM Format Major Version: 3"},
        {53, 31, "   Module Revision: M"},
    };
    for (const auto& c : cases) {
        const auto lines = inquiryLines(d.data(), c.length, {true, familyOf});
        ASSERT_EQ(lines.size(), c.lines) << c.length;
        if (c.last) EXPECT_EQ(lines.back(), c.last) << c.length;
    }
    EXPECT_TRUE(inquiryLines(nullptr, 56, {true, familyOf}).empty());
}

}  // namespace
