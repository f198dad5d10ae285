#pragma once
// FILE objects outside their statements: the declarations listing.
#include <string>

#include "script/script_tables.h"

namespace vexal::script {

// One line per FILE with its tag and its mode ("Read/Text", "Write/Binary/Append", " N/A").
std::string ListFiles(const FileTable& files);

}  // namespace vexal::script
