#pragma once
// Why a file operation failed, from the system's error number, and the one text each cause
// is shown with wherever a file could not be written or read.
#include <string>
#include <string_view>

namespace vexal::platform {

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

// The cause's text: "The file could not be located: " + name, "The disk is full.", ...
// A cause without a text of its own reads as the unspecified error, so that a failure is
// never silent.
std::string fileErrorText(FileCause cause, std::string_view name);

// True when the cause has a text of its own.
bool hasFileErrorText(FileCause cause);

}  // namespace vexal::platform
