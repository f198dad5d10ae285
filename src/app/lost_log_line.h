#pragma once
// The line that tells the operator the session log has started to lose lines.
#include <string>

namespace vexal::app {

// With the errno text of the failed write, e.g. "No space left on device".
std::string LostLogLineText(int error);

}  // namespace vexal::app
