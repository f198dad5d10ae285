#include "fadump/dump_files.h"

namespace vexal::fadump {
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

}  // namespace vexal::fadump
