#include "log/line_style.h"

#include <algorithm>
#include <array>
#include <initializer_list>

#include <fmt/format.h>

namespace vexal::log {
namespace {

bool containsAny(std::string_view line, std::initializer_list<std::string_view> words) {
    return std::any_of(words.begin(), words.end(),
                       [&](std::string_view w) { return line.find(w) != std::string_view::npos; });
}

struct TagRule {
    std::array<std::string_view, 4> words;  // unused entries are empty
    ColourSlot slot;
};

bool matches(std::string_view line, const TagRule& rule) {
    return std::any_of(rule.words.begin(), rule.words.end(), [&](std::string_view w) {
        return !w.empty() && line.find(w) != std::string_view::npos;
    });
}

}  // namespace

LineStyle classifyLine(std::string_view line, bool& carry, const ViewColours& colours) {
    if (!containsAny(line, {"[VEXAL", "[Vexal", " [VEXAL", " [Vexal"}) && !carry)
        return {colours[ColourSlot::RawData], 0};
    if (carry || line.find("Command_Sent") != std::string_view::npos) {
        carry = !carry;
        return {colours[ColourSlot::CommandIo], 0};
    }
    carry = false;
    // Checked in this order; the first rule that matches decides.
    static constexpr TagRule kRules[] = {
        {{"CmdStatus"}, ColourSlot::CommandStatus},
        {{"Command_Done"}, ColourSlot::CommandIo},
        {{"Check_Condition", "Sense_Condition", "Request_Sense", "ERROR"}, ColourSlot::Error},
        {{"Compare_Error", "Aborting_Script"}, ColourSlot::Error},
        {{"Log_View"}, ColourSlot::AppHeader},
        {{"Starting_Script", "Ending_Script"}, ColourSlot::ScriptIo},
    };
    for (const auto& rule : kRules)
        if (matches(line, rule)) return {colours[rule.slot], 0};
    if (line.find("Script_Message:") != std::string_view::npos)
        return {colours[ColourSlot::ScriptMessages], std::min(kScriptMessagePrefix, line.size())};
    return {kUnknownTagColour, 0};
}

std::string ansiForeground(uint32_t colour) {
    return fmt::format("\x1b[38;2;{};{};{}m", colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

}  // namespace vexal::log
