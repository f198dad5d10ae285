#include "diag/side_files.h"

#include <fmt/format.h>

#include "platform/ini_file.h"
#include "platform/paths.h"

namespace vexal::diag {

std::filesystem::path workFolder() {
    const std::filesystem::path folder = platform::installPath() / "Work/";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return folder;
}

std::string pageFileName(uint8_t pageCode) { return fmt::format("{:X}.XXX", pageCode); }

bool writeSideFile(const std::filesystem::path& folder, std::string_view name, std::string_view data) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return platform::writeFileAtomically(folder / name, data);
}

bool writePageFile(const std::filesystem::path& folder, uint8_t pageCode, std::span<const uint8_t> bytes) {
    const std::string_view data(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return writeSideFile(folder, pageFileName(pageCode), data);
}

PageError LoadLogPage(uint8_t pageCode, std::span<const uint8_t> bytes, const std::filesystem::path& folder,
                      LogPage& page) {
    const size_t end = pageEnd(bytes);
    writePageFile(folder, pageCode, end ? bytes.first(end) : bytes);
    return page.Parse(pageCode, bytes);
}

}  // namespace vexal::diag
