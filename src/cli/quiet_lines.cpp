#include "cli/quiet_lines.h"

namespace vexal::cli {

bool shownWhenQuiet(std::string_view line) {
    constexpr std::string_view kLeftOut[] = {"[Vexal_Command_Sent", "[Vexal_Command_Done", " RAW_CDB:"};
    for (std::string_view start : kLeftOut)
        if (line.starts_with(start)) return false;
    return true;
}

}  // namespace vexal::cli
