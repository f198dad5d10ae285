#pragma once
// What --quiet leaves out of the line list on the terminal: the frame's markers and the CDB
// (Command_Sent and Command_Done lines, RAW_CDB). The data the drive sent stays, since for
// some commands (MODE SENSE, READ BUFFER) its dump is the result; so do the decoded lines,
// the status and every error. --save and the session log keep all.
#include <string_view>

namespace vexal::cli {

bool shownWhenQuiet(std::string_view line);

}  // namespace vexal::cli
