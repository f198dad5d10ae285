#include "platform/shipped_data.h"

#include <cstdlib>

namespace vexal::platform {
namespace fs = std::filesystem;

fs::path shippedDataFolder() {
    if (const char* over = std::getenv("VEXAL_SHIPPED_DATA")) return over;
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty()) return {};
    fs::path folder = exe.parent_path().parent_path() / "share" / "vexal";
    return fs::is_directory(folder, ec) ? folder : fs::path();
}

namespace {

// Folders the program owns outright: an upgrade brings their new content to every user.
constexpr const char* kProgramOwned[] = {"hlp"};

bool programOwned(const fs::path& name) {
    for (const char* owned : kProgramOwned)
        if (name == owned) return true;
    return false;
}

}  // namespace

int seedDataFolder(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    if (from.empty() || !fs::is_directory(from, ec)) return 0;
    fs::create_directories(to, ec);
    int copied = 0;
    for (fs::directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path target = to / it->path().filename();
        std::error_code status;  // set for a missing file too: only the type tells
        if (fs::exists(fs::symlink_status(target, status))) {
            if (programOwned(it->path().filename()) && fs::is_directory(target, status)) {
                // Newer shipped files replace older copies; missing ones come back.
                std::error_code refresh;
                fs::copy(it->path(), target, fs::copy_options::recursive | fs::copy_options::update_existing,
                         refresh);
            }
            continue;
        }
        std::error_code copy;
        fs::copy(it->path(), target, fs::copy_options::recursive, copy);
        if (!copy) ++copied;
    }
    return copied;
}

}  // namespace vexal::platform
