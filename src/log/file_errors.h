#pragma once
// Why a file operation failed, in the terms the log system reports to the operator, and
// the texts it shows for each cause.
#include <optional>
#include <string>
#include <string_view>

namespace vexal::log {

enum class FileCause {
    None,
    Generic,
    FileNotFound,
    BadPath,
    TooManyOpenFiles,
    AccessDenied,
    InvalidFile,
    RemoveCurrentDir,
    DirectoryFull,
    BadSeek,
    HardIO,
    SharingViolation,
    LockViolation,
    DiskFull,
    EndOfFile,
};

// Maps a system error number onto a cause; 0 is None, anything unknown Generic.
FileCause causeFromErrno(int error);

// The message shown when the log file cannot be created; texts that end in ": " are
// followed by `path`. Causes the log system does not report give no message.
std::optional<std::string> openFailureMessage(FileCause cause, std::string_view path);

// The cause line appended to "Error renaming: " + old path. Causes outside the table
// read as the unspecified error, so that a failed rename is never silent.
std::string_view renameCauseText(FileCause cause);

}  // namespace vexal::log
