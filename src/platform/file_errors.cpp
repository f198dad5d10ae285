#include "platform/file_errors.h"

#include <cerrno>

namespace vexal::platform {
namespace {

struct CauseText {
    FileCause cause;
    const char* text;
    bool takesName;  // the text is followed by the file's name
};

constexpr CauseText kTexts[] = {
    {FileCause::None, "No error occurred.", false},
    {FileCause::Generic, "An unspecified error occurred.", false},
    {FileCause::FileNotFound, "The file could not be located: ", true},
    {FileCause::BadPath, "All or part of the path is invalid: ", true},
    {FileCause::AccessDenied, "The file could not be accessed: ", true},
    {FileCause::InvalidFile, "There was an attempt to use an invalid file handle: ", true},
    {FileCause::BadSeek, "There was an error trying to set the file pointer.", false},
    {FileCause::HardIO, "There was a hardware error.", false},
    {FileCause::SharingViolation, "SHARE.EXE was not loaded, or a shared region was locked.", false},
    {FileCause::LockViolation, "There was an attempt to lock a region that was already locked.", false},
    {FileCause::DiskFull, "The disk is full.", false},
};

const CauseText* find(FileCause cause) {
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

bool hasFileErrorText(FileCause cause) { return find(cause) != nullptr; }

std::string fileErrorText(FileCause cause, std::string_view name) {
    const CauseText* t = find(cause);
    if (!t) t = find(FileCause::Generic);
    std::string text = t->text;
    if (t->takesName) text += name;
    return text;
}

}  // namespace vexal::platform
