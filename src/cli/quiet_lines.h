#pragma once
// What --quiet leaves out of the line list on the terminal: the frame's markers and raw
// bytes (Command_Sent and Command_Done lines, RAW_CDB, RAW_DATA and their hex rows). The
// decoded lines, the status and every error stay; --save and the session log keep all.
#include <string_view>

namespace vexal::cli {

bool shownWhenQuiet(std::string_view line);

}  // namespace vexal::cli
