#include "cli/quiet_lines.h"

#include <cctype>

namespace vexal::cli {
namespace {

// "  000010: 00 01 ..." : a row of a hex dump.
bool hexRow(std::string_view line) {
    if (!line.starts_with("  ") || line.size() < 9 || line[8] != ':') return false;
    for (size_t i = 2; i < 8; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(line[i]))) return false;
    return true;
}

}  // namespace

bool shownWhenQuiet(std::string_view line) {
    constexpr std::string_view kLeftOut[] = {"[Vexal_Command_Sent", "[Vexal_Command_Done", " RAW_CDB:", " RAW_DATA:"};
    for (std::string_view start : kLeftOut)
        if (line.starts_with(start)) return false;
    return !hexRow(line);
}

}  // namespace vexal::cli
