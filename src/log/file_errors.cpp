#include "log/file_errors.h"

#include <cerrno>

namespace vexal::log {
namespace {

struct CauseTexts {
    FileCause cause;
    const char* open;    // nullptr: no message
    bool openTakesPath;  // the open message is followed by the file path
    const char* rename;
};

constexpr CauseTexts kTexts[] = {
    {FileCause::None, "Cannot initialize log system. No error occurred.", false, "\nNo error occurred."},
    {FileCause::Generic, "Cannot initialize log system.\n\nAn unspecified error occurred.", false,
     "\nAn unspecified error occurred."},
    {FileCause::FileNotFound, "Cannot initialize log system.\n\nThe file could not be located: ", true,
     "\nThe file was not found."},
    {FileCause::BadPath, "Cannot initialize log system.\n\nAll or part of the path is invalid: ", true,
     "\nAll or part of the path is invalid."},
    {FileCause::AccessDenied, "Cannot initialize log system.\n\nThe file could not be accessed: ", true,
     "\nThe file could not be accessed."},
    {FileCause::InvalidFile, "Cannot initialize log system.\n\nThere was an attempt to use an invalid file handle: ",
     true, "\nThere was an attempt to use an invalid file handle."},
    {FileCause::BadSeek, "Cannot initialize log system.\n\nThere was an error trying to set the file pointer.", false,
     "\nThere was an error trying to set the file pointer."},
    {FileCause::HardIO, "Cannot initialize log system.\n\nThere was a hardware error.", false,
     "\nThere was a hardware error."},
    {FileCause::SharingViolation,
     "Cannot initialize log system.\n\nSHARE.EXE was not loaded, or a shared region was locked.", false,
     "\nSHARE.EXE was not loaded, or a shared region was locked."},
    {FileCause::LockViolation,
     "Cannot initialize log system.\n\nThere was an attempt to lock a region that was already locked.", false,
     "\nThere was an attempt to lock a region that was already locked."},
    {FileCause::DiskFull, "Cannot initialize log system.\n\nThe disk is full.", false, "\nThe disk is full."},
};

const CauseTexts* find(FileCause cause) {
    for (const auto& t : kTexts)
        if (t.cause == cause) return &t;
    return nullptr;
}

}  // namespace

FileCause causeFromErrno(int error) {
    switch (error) {
    case 0: return FileCause::None;
    case ENOENT: return FileCause::FileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL:
    case ELOOP: return FileCause::BadPath;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return FileCause::AccessDenied;
    case EBADF: return FileCause::InvalidFile;
    case EMFILE:
    case ENFILE: return FileCause::TooManyOpenFiles;
    case ESPIPE: return FileCause::BadSeek;
    case EIO: return FileCause::HardIO;
    // Another writer holds the file (flock), or it is busy.
    case EWOULDBLOCK:
    case EBUSY:
    case ETXTBSY: return FileCause::SharingViolation;
    case EDEADLK:
    case ENOLCK: return FileCause::LockViolation;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return FileCause::DiskFull;
    default: return FileCause::Generic;
    }
}

std::optional<std::string> openFailureMessage(FileCause cause, std::string_view path) {
    const CauseTexts* t = find(cause);
    if (!t) return std::nullopt;
    std::string text = t->open;
    if (t->openTakesPath) text += path;
    return text;
}

std::string_view renameCauseText(FileCause cause) {
    const CauseTexts* t = find(cause);
    return t ? t->rename : find(FileCause::Generic)->rename;
}

}  // namespace vexal::log
