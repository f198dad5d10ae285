#pragma once
// The seven configurable colours of the log view, COLORREF values (0x00BBGGRR) kept as
// decimal text in the user settings key "Mendra".
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vexal::log {

enum class ColourSlot : size_t { Error, AppHeader, CommandIo, CommandStatus, RawData, ScriptIo, ScriptMessages };
inline constexpr size_t kColourCount = 7;

inline constexpr std::string_view kColourKey = "Mendra";
// Value names and defaults, in the order they are read.
inline constexpr std::array<std::string_view, kColourCount> kColourNames = {
    "ErrorClr", "AppHdrClr", "CmdIOClr", "CmdStatClr", "RawDataClr", "ScriptIOClr", "ScriptMsgsClr"};
inline constexpr std::array<uint32_t, kColourCount> kDefaultColours = {0x0000FF, 0x000000, 0x960000, 0xF00000,
                                                                       0x808080, 0xFF00FF, 0xF00000};
// Tagged lines that match no known tag word.
inline constexpr uint32_t kUnknownTagColour = 0xFFFF00;
inline constexpr uint32_t kBackgroundColour = 0xFFFFFF;

struct ViewColours {
    std::array<uint32_t, kColourCount> values = kDefaultColours;

    uint32_t operator[](ColourSlot slot) const { return values[static_cast<size_t>(slot)]; }
    uint32_t& operator[](ColourSlot slot) { return values[static_cast<size_t>(slot)]; }

    // Reads the colours from the settings; a key just created gets all seven defaults, a
    // value that cannot be read is written with its default. When the key can be neither
    // opened nor created the defaults stay. False in that last case.
    bool load();
    // Stores one colour. False when the settings cannot be written.
    bool save(ColourSlot slot) const;
    // All seven back to their defaults, each stored.
    bool reset();
};

}  // namespace vexal::log
