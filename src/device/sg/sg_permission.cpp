#include "device/sg/sg_permission.h"

#include <grp.h>
#include <sys/stat.h>

#include <cerrno>
#include <vector>

#include <fmt/format.h>

#include "device/drive_family.h"

namespace vexal::device::sg {

bool isPermissionError(int error) { return error == EACCES || error == EPERM; }

std::string nodeGroup(const std::filesystem::path& node) {
    struct stat info {};
    if (::stat(node.c_str(), &info) != 0) return {};
    std::vector<char> buffer(4096);
    group entry{};
    group* found = nullptr;
    while (::getgrgid_r(info.st_gid, &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
           buffer.size() < (1u << 20))
        buffer.resize(buffer.size() * 2);
    return found && found->gr_name ? std::string(found->gr_name) : std::string();
}

std::string permissionAdvice(const std::filesystem::path& node, const GenericDevice& device,
                             const std::string& group) {
    std::string what(deviceTypeName(device.peripheralType));
    for (const std::string* part : {&device.vendor, &device.model})
        if (!part->empty()) what += " " + *part;
    std::string text = fmt::format("{} ({} at {}) exists but cannot be opened: permission denied.  ", node.string(),
                                   what, device.hctl.text());
    const uint8_t type = device.peripheralType & 0x1F;
    if (type != 1 && type != 8) {
        // Disks and the like are listed by the scan but are not what the program tests;
        // their group (often 'disk') grants raw access to every disk, so it is not advised.
        return text + fmt::format("It is not a tape drive or medium changer{}.",
                                  group.empty() ? "" : fmt::format(" (group '{}')", group));
    }
    // A node owned by a group meant for users: joining it is the fix. Otherwise (owned by
    // root, or unknown) the udev rule gives tape drives and changers to the 'tape' group.
    if (!group.empty() && group != "root")
        return text + fmt::format(
                          "Add your user to the group '{}' that owns it (sudo usermod -aG {} $USER) and log in "
                          "again, or run as root.",
                          group, group);
    return text + fmt::format(
                      "Install the udev rule {} (it gives the 'tape' group read and write access to tape drives "
                      "and changers), add your user to 'tape' (sudo usermod -aG tape $USER) and log in again, or "
                      "run as root.",
                      kUdevRuleName);
}

}  // namespace vexal::device::sg
