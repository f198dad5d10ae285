#include "cli/script_path.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "platform/paths.h"

namespace vexal::cli {
namespace fs = std::filesystem;
namespace {

std::string upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

}  // namespace

std::string resolveScriptPath(const std::string& name) {
    std::error_code ec;
    const fs::path given(name);
    if (name.empty() || fs::exists(given, ec) || given.has_parent_path()) return name;
    std::string wanted = upper(name);
    if (!given.has_extension()) wanted += ".SCS";
    const fs::path folder = platform::installPath() / "Scripts";
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (upper(it->path().filename().string()) == wanted && it->is_regular_file(ec)) return it->path().string();
    return name;
}

}  // namespace vexal::cli
