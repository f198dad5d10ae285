#pragma once
// The texts the log system shows for a file error: the message when its file cannot be
// created, and the cause line of a failed rename.
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_errors.h"

namespace vexal::log {

// The message shown when the log file cannot be created: the cause's text after "Cannot
// initialize log system.", followed by `path` where the text names a file. Causes the log
// system does not report give no message.
std::optional<std::string> openFailureMessage(platform::FileCause cause, std::string_view path);

// The cause line appended to "Error renaming: " + old path. Causes outside the table
// read as the unspecified error, so that a failed rename is never silent.
std::string_view renameCauseText(platform::FileCause cause);

}  // namespace vexal::log
