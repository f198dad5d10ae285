// Line colours by tag, the carry flag, and the colours kept in the settings.
#include <gtest/gtest.h>

#include "log/line_style.h"
#include "log/view_colours.h"
#include "log_test_support.h"
#include "platform/settings_store.h"
#include "support/test_root.h"

using vexal::log::ColourSlot;
using vexal::log::ViewColours;
using vexal::testing::TempRoot;

namespace {

// Distinct values so that slots sharing a default colour can be told apart.
ViewColours distinctColours() {
    ViewColours c;
    for (size_t i = 0; i < c.values.size(); ++i) c.values[i] = 0x100 + static_cast<uint32_t>(i);
    return c;
}

constexpr uint32_t kUnknown = 0xFFFF00;

struct StyleCase {
    const char* line;
    bool carryIn;
    std::optional<ColourSlot> slot;  // none: the unknown-tag colour
    bool carryOut;
    size_t skip = 0;
};

TEST(LineStyleTest, ColourByTagWord) {
    using S = ColourSlot;
    const StyleCase cases[] = {
        // Lines without a tag.
        {"   00 01 02 03 04 05", false, S::RawData, false},
        {"", false, S::RawData, false},
        {"ERROR without a tag", false, S::RawData, false},
        {"[vexal_Command_Sent lower case is no tag", false, S::RawData, false},
        // Command frame and the carry flag.
        {"[Vexal_Command_Sent: 12 00 00 00 24 00]", false, S::CommandIo, true},
        {" Inquiry", true, S::CommandIo, false},                         // the name line
        {"[Vexal_Command_Sent again", true, S::CommandIo, false},        // inverted, not set
        {" [Vexal_CmdStatus: GOOD]", true, S::CommandIo, false},         // carry wins over the tag
        {"[Vexal_Command_Done]", false, S::CommandIo, false},
        {" [VEXAL_CmdStatus: GOOD]", false, S::CommandStatus, false},
        // Errors.
        {" [Vexal_Check_Condition]", false, S::Error, false},
        {" [Vexal_Sense_Condition: 3/11/00]", false, S::Error, false},
        {"[Vexal_Request_Sense", false, S::Error, false},
        {"  [Vexal_ERROR: Compare error]", false, S::Error, false},
        {" [Vexal_Compare_Error: Data Miscompare at offset 4]", false, S::Error, false},
        {"[Vexal_Aborting_Script]", false, S::Error, false},
        // Earlier words decide.
        {" [Vexal_CmdStatus: ERROR]", false, S::CommandStatus, false},
        {"[Vexal_Command_Done ERROR", false, S::CommandIo, false},
        {"[Vexal_ERROR in Log_View", false, S::Error, false},
        // Header and scripts.
        {"[Vexal_Log_View (4.0.1 Build 8)]", false, S::AppHeader, false},
        {"[Vexal_Starting_Script: t.scs]", false, S::ScriptIo, false},
        {"[VEXAL_Ending_Script: t.scs]", false, S::ScriptIo, false},
        {"[Vexal_Script_Message: hello", false, S::ScriptMessages, false, 23},
        {"[Vexal_Script_Message:", false, S::ScriptMessages, false, 22},  // shorter than the prefix
        // A tag with no known word.
        {"[Vexal_Something_Else]", false, std::nullopt, false},
        {"text [Vexal_Script_Message without colon", false, std::nullopt, false},
    };
    const ViewColours colours = distinctColours();
    for (const auto& c : cases) {
        bool carry = c.carryIn;
        const auto style = vexal::log::classifyLine(c.line, carry, colours);
        EXPECT_EQ(style.colour, c.slot ? colours[*c.slot] : kUnknown) << c.line;
        EXPECT_EQ(carry, c.carryOut) << c.line;
        EXPECT_EQ(style.skip, c.skip) << c.line;
    }
}

TEST(LineStyleTest, ScriptMessageDrawnWithoutItsPrefix) {
    const std::string line = "[Vexal_Script_Message: Insert a scratch tape";
    bool carry = false;
    const auto style = vexal::log::classifyLine(line, carry, ViewColours{});
    EXPECT_EQ(line.substr(style.skip), "Insert a scratch tape");
    EXPECT_EQ(style.colour, 0xF00000u);
}

TEST(LineStyleTest, CarryFollowsTheCommandFrameAcrossPasses) {
    const char* frame[] = {"[Vexal_Command_Sent", " Test Unit Ready", "  RAW_CDB: 00 00 00 00 00 00",
                           " [Vexal_CmdStatus: GOOD]", "[Vexal_Command_Done]"};
    const ViewColours colours = distinctColours();
    const ColourSlot expected[] = {ColourSlot::CommandIo, ColourSlot::CommandIo, ColourSlot::RawData,
                                   ColourSlot::CommandStatus, ColourSlot::CommandIo};
    bool carry = false;
    for (size_t i = 0; i < std::size(frame); ++i)
        EXPECT_EQ(vexal::log::classifyLine(frame[i], carry, colours).colour, colours[expected[i]]) << frame[i];

    // The flag is the view's and is not reset between passes: a pass that ended on a
    // Command_Sent line colours the first line of the next pass.
    carry = false;
    vexal::log::classifyLine("[Vexal_Command_Sent", carry, colours);
    EXPECT_TRUE(carry);
    EXPECT_EQ(vexal::log::classifyLine("[Vexal_Log_View (4.0.1 Build 8)]", carry, colours).colour,
              colours[ColourSlot::CommandIo]);
    EXPECT_FALSE(carry);
}

TEST(LineStyleTest, DefaultsAndTerminalEscapes) {
    const std::pair<ColourSlot, const char*> cases[] = {
        {ColourSlot::Error, "\x1b[38;2;255;0;0m"},         {ColourSlot::AppHeader, "\x1b[38;2;0;0;0m"},
        {ColourSlot::CommandIo, "\x1b[38;2;0;0;150m"},     {ColourSlot::CommandStatus, "\x1b[38;2;0;0;240m"},
        {ColourSlot::RawData, "\x1b[38;2;128;128;128m"},   {ColourSlot::ScriptIo, "\x1b[38;2;255;0;255m"},
        {ColourSlot::ScriptMessages, "\x1b[38;2;0;0;240m"},
    };
    const ViewColours colours;
    for (const auto& [slot, escape] : cases) EXPECT_EQ(vexal::log::ansiForeground(colours[slot]), escape);
    EXPECT_EQ(vexal::log::ansiForeground(kUnknown), "\x1b[38;2;0;255;255m");
}

std::optional<std::string> stored(std::string_view name) {
    vexal::platform::SettingsKey key;
    if (!key.Open("Mendra")) return std::nullopt;
    std::string value;
    if (key.ReadString(name, value) != 0) return std::nullopt;
    return value;
}

TEST(ViewColoursTest, NewKeyGetsAllDefaults) {
    TempRoot root;
    ViewColours colours;
    colours.values.fill(7);
    EXPECT_TRUE(colours.load());
    EXPECT_EQ(colours.values, vexal::log::kDefaultColours);
    for (size_t i = 0; i < vexal::log::kColourCount; ++i)
        EXPECT_EQ(stored(vexal::log::kColourNames[i]), std::to_string(vexal::log::kDefaultColours[i]));
}

TEST(ViewColoursTest, MissingValuesAreWrittenWithTheirDefaults) {
    TempRoot root;
    vexal::platform::SettingsKey key;
    ASSERT_EQ(key.CreateOrOpen("Mendra"), 1);
    key.WriteString("ErrorClr", "123");
    key.WriteString("RawDataClr", "green");  // not a number: reads as 0
    key.WriteString("ScriptMsgsClr", "65280");

    ViewColours colours;
    EXPECT_TRUE(colours.load());
    EXPECT_EQ(colours[ColourSlot::Error], 123u);
    EXPECT_EQ(colours[ColourSlot::RawData], 0u);
    EXPECT_EQ(colours[ColourSlot::ScriptMessages], 65280u);
    EXPECT_EQ(colours[ColourSlot::CommandIo], 0x960000u);
    EXPECT_EQ(stored("AppHdrClr"), "0");
    EXPECT_EQ(stored("CmdIOClr"), std::to_string(0x960000));
    EXPECT_EQ(stored("CmdStatClr"), std::to_string(0xF00000));
    EXPECT_EQ(stored("ScriptIOClr"), std::to_string(0xFF00FF));
    EXPECT_EQ(stored("RawDataClr"), "green");  // present values are left alone
}

TEST(ViewColoursTest, SaveOneAndReset) {
    TempRoot root;
    ViewColours colours;
    ASSERT_TRUE(colours.load());
    colours[ColourSlot::ScriptIo] = 0x00AA00;
    colours[ColourSlot::Error] = 0x000011;
    EXPECT_TRUE(colours.save(ColourSlot::ScriptIo));
    ViewColours again;
    ASSERT_TRUE(again.load());
    EXPECT_EQ(again[ColourSlot::ScriptIo], 0x00AA00u);
    EXPECT_EQ(again[ColourSlot::Error], 0x0000FFu);  // only the saved one changed

    EXPECT_TRUE(again.reset());
    EXPECT_EQ(again.values, vexal::log::kDefaultColours);
    EXPECT_EQ(stored("ScriptIOClr"), std::to_string(0xFF00FF));
}

TEST(ViewColoursTest, UnusableStoreKeepsDefaults) {
    TempRoot root;
    vexal::testing::writeFile(root.path() / "config", "not a folder");
    ViewColours colours;
    colours.values.fill(7);
    EXPECT_FALSE(colours.load());
    EXPECT_EQ(colours.values, vexal::log::kDefaultColours);
    EXPECT_FALSE(colours.save(ColourSlot::Error));
}

}  // namespace
