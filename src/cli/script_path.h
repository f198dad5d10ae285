#pragma once
#include <string>

namespace vexal::cli {

// The script `name` names: the file itself when it exists; otherwise, for a bare file name,
// the file of that name in the Scripts folder of the data folder (letter case ignored,
// ".scs" added when the name has no extension). Unchanged when nothing matches, so that
// the caller reports the name as the user typed it.
std::string resolveScriptPath(const std::string& name);

}  // namespace vexal::cli
