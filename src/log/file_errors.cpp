#include "log/file_errors.h"

namespace vexal::log {
namespace {

using platform::FileCause;

// A rename's cause lines are worded apart from the file error texts.
struct RenameText {
    FileCause cause;
    const char* text;
};

constexpr RenameText kRenameTexts[] = {
    {FileCause::None, "\nNo error occurred."},
    {FileCause::Generic, "\nAn unspecified error occurred."},
    {FileCause::FileNotFound, "\nThe file was not found."},
    {FileCause::BadPath, "\nAll or part of the path is invalid."},
    {FileCause::AccessDenied, "\nThe file could not be accessed."},
    {FileCause::InvalidFile, "\nThere was an attempt to use an invalid file handle."},
    {FileCause::BadSeek, "\nThere was an error trying to set the file pointer."},
    {FileCause::HardIO, "\nThere was a hardware error."},
    {FileCause::SharingViolation, "\nSHARE.EXE was not loaded, or a shared region was locked."},
    {FileCause::LockViolation, "\nThere was an attempt to lock a region that was already locked."},
    {FileCause::DiskFull, "\nThe disk is full."},
};

}  // namespace

std::optional<std::string> openFailureMessage(FileCause cause, std::string_view path) {
    if (!platform::hasFileErrorText(cause)) return std::nullopt;
    // "No error" reads as one sentence after the heading; every other cause stands apart.
    if (cause == FileCause::None) return "Cannot initialize log system. " + platform::fileErrorText(cause, path);
    return "Cannot initialize log system.\n\n" + platform::fileErrorText(cause, path);
}

std::string_view renameCauseText(FileCause cause) {
    for (const auto& t : kRenameTexts)
        if (t.cause == cause) return t.text;
    return kRenameTexts[1].text;
}

}  // namespace vexal::log
