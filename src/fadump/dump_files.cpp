#include "fadump/dump_files.h"

namespace vexal::fadump {
namespace {

struct CauseText {
    log::FileCause cause;
    const char* text;
    bool takesName;
};

constexpr CauseText kTexts[] = {
    {log::FileCause::None, "No error occurred.", false},
    {log::FileCause::Generic, "An unspecified error occurred.", false},
    {log::FileCause::FileNotFound, "The file could not be located: ", true},
    {log::FileCause::BadPath, "All or part of the path is invalid: ", true},
    {log::FileCause::AccessDenied, "The file could not be accessed: ", true},
    {log::FileCause::InvalidFile, "There was an attempt to use an invalid file handle: ", true},
    {log::FileCause::BadSeek, "There was an error trying to set the file pointer.", false},
    {log::FileCause::HardIO, "There was a hardware error.", false},
    {log::FileCause::SharingViolation, "SHARE.EXE was not loaded, or a shared region was locked.", false},
    {log::FileCause::LockViolation, "There was an attempt to lock a region that was already locked.", false},
    {log::FileCause::DiskFull, "The disk is full.", false},
};

}  // namespace

std::filesystem::path defaultDumpFile(const std::filesystem::path& installPath, std::string_view serialNumber) {
    const auto last = serialNumber.find_last_not_of(' ');
    const std::string_view serial = last == std::string_view::npos ? kNoSerialNumber : serialNumber.substr(0, last + 1);
    std::string name = installPath.string();
    if (!name.empty() && name.back() != '/') name += '/';
    name += kDumpFolder;
    // A serial number is device data: a '/' or a control byte in it must not make a path.
    for (char c : serial) name += (c == '/' || static_cast<unsigned char>(c) < 0x20) ? '_' : c;
    name += kCompressedExtension;
    return name;
}

std::filesystem::path withExtension(const std::filesystem::path& file, std::string_view extension) {
    std::filesystem::path p = file;
    p.replace_extension(extension);
    return p;
}

std::string fileErrorText(log::FileCause cause, std::string_view name) {
    for (const auto& t : kTexts) {
        if (t.cause != cause) continue;
        std::string text = t.text;
        if (t.takesName) text += name;
        return text;
    }
    return kTexts[1].text;  // causes without a text of their own
}

}  // namespace vexal::fadump
