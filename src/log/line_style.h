#pragma once
// How the log view colours a line: from the tag it carries, at drawing time. Both front
// ends colour through this one function.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "log/view_colours.h"

namespace vexal::log {

struct LineStyle {
    uint32_t colour = 0;  // COLORREF, 0x00BBGGRR
    size_t skip = 0;      // characters not drawn at the line's start (script messages)
};

// The prefix a script message line carries, not drawn.
inline constexpr size_t kScriptMessagePrefix = 23;  // "[Vexal_Script_Message: "

// Colours one line. `carry` belongs to the view and lives across lines and drawing
// passes: a Command_Sent line sets it so that the next line (the command's name) takes
// the command colour too.
LineStyle classifyLine(std::string_view line, bool& carry, const ViewColours& colours);

// A 24-bit terminal foreground escape for a COLORREF, and the escape that resets it.
std::string ansiForeground(uint32_t colour);
inline constexpr std::string_view kAnsiReset = "\x1b[0m";

}  // namespace vexal::log
