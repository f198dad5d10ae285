#include <gtest/gtest.h>

#include "script/number_literals.h"

using namespace vexal::script;

namespace {

struct ClassifyCase {
    const char* text;
    int code;
};

TEST(ClassifyNumberTest, CodesFollowTheLiteralForms) {
    const ClassifyCase cases[] = {
        // Decimal: the value decides.
        {"0", 1}, {"255", 1}, {"256", 2}, {"65535", 2}, {"65536", 4}, {"2147483646", 4},
        {"2147483647", 8}, {"99999999999999999999", 8}, {"1.0", 8}, {"5.", 8}, {".", 8},
        {"1.2.3", 8}, {"12Z", -3}, {"-1", -3}, {" 5", -3}, {"1 2", -3},
        // Trailing H: digits count, not value (so 0FFH, three digits, is a word).
        {"0FFH", 2}, {"FFh", 1}, {"1H", 1}, {"00FFH", 2}, {"100H", 2}, {"1FFFH", 2}, {"10000H", 4},
        {"FFFFFFFFH", 4}, {"0FFFFFFFFH", -2}, {"H", -2}, {"1GH", -1}, {"1.5H", -1},
        // Leading 0X: exactly 2, 4 or 8 digits.
        {"0x12", 1}, {"0X00FF", 2}, {"0x12345678", 4}, {"0x5", -2}, {"0X123", -2}, {"0x", -2},
        {"0x123456789", -2}, {"0xZZ", -1}, {"0X1H", -1},
    };
    for (const auto& c : cases) EXPECT_EQ(ClassifyNumber(c.text), c.code) << '"' << c.text << '"';
}

TEST(LooksLikeNumberTest, OnlyHexDigitsPointsAndH) {
    const std::pair<const char*, bool> cases[] = {
        {"123", true}, {"1FH", true}, {"abc", true}, {"1.5", true}, {"hH", true}, {"BAD", true},
        {"0x12", false}, {"12Z", false}, {"1 2", false}, {"-1", false}, {"", false}, {"G", false},
    };
    for (const auto& [text, looks] : cases) EXPECT_EQ(LooksLikeNumber(text), looks) << '"' << text << '"';
}

struct WordCase {
    const char* text;
    uint16_t value;
    const char* normalised;  // the text as ParseWord leaves it
};

TEST(ParseWordTest, ValuesAndInPlaceNormalisation) {
    const WordCase cases[] = {
        {"100", 100, "100"},       {" 36 ", 36, "36"},          {"1fh", 0x1F, "1F"},
        {"0x12", 0x12, "12"},      {"0XABCD", 0xABCD, "ABCD"},  {"FFFFH", 0xFFFF, "FFFF"},
        {"65535", 65535, "65535"}, {"70000", 0xFFFF, "70000"},  {"1.5", 0xFFFF, "1.5"},
        {"abc", 0xFFFF, "ABC"},    {"0x5", 0xFFFF, "0X5"},      {"10000H", 0xFFFF, "10000H"},
        {"\t7 ", 7, "7"},          {"", 0, ""},
    };
    for (const auto& c : cases) {
        std::string text = c.text;
        EXPECT_EQ(ParseWord(text), c.value) << '"' << c.text << '"';
        EXPECT_EQ(text, c.normalised) << '"' << c.text << '"';
        EXPECT_EQ(ParseWordValue(c.text), c.value) << '"' << c.text << '"';
    }
}

TEST(ParseLongTest, ValuesAndRefusals) {
    const std::pair<const char*, uint32_t> cases[] = {
        {"0", 0},
        {"65536", 65536},
        {"2147483646", 2147483646u},
        {"2147483647", 0xFFFFFFFFu},  // code 8: no long
        {"FFFFFFFFH", 0xFFFFFFFFu},
        {"12345678h", 0x12345678u},
        {"0x12345678", 0x12345678u},
        {"0x1234", 0x1234u},
        {"0FFFFFFFFH", 0xFFFFFFFFu},  // nine digits: no number
        {" 10 ", 10},
        {"1.5", 0xFFFFFFFFu},
        {"0x5", 0xFFFFFFFFu},
        {"0000000000000001", 0xFFFFFFFFu},  // 16 characters
        {"000000000000001", 1},             // 15 characters
        {"12Z", 0xFFFFFFFFu},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(ParseLong(text), value) << '"' << text << '"';
}

TEST(ParseLongTest, LeavesItsTextAlone) {
    const std::string text = " 0x12 ";
    EXPECT_EQ(ParseLong(text), 0x12u);
    EXPECT_EQ(text, " 0x12 ");
}

}  // namespace
