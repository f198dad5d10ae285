#include "platform/system_info.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>

#include <fmt/format.h>

namespace vexal::platform {
namespace {

std::string prettyName(const std::string& osRelease) {
    std::ifstream in(osRelease);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("PRETTY_NAME=", 0) != 0) continue;
        std::string value = line.substr(12);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        return value;
    }
    return "Linux";
}

}  // namespace

std::string kernelVersionText(const std::string& release) {
    int major = 0, minor = 0, patch = 0, used = 0;
    const int n = std::sscanf(release.c_str(), "%d.%d%n.%d%n", &major, &minor, &used, &patch, &used);
    std::string rest = n >= 2 ? release.substr(static_cast<size_t>(used)) : release;
    if (!rest.empty() && (rest.front() == '-' || rest.front() == '+')) rest.erase(0, 1);
    return fmt::format("Version {}.{} {} (Build {})", major, minor, rest, n >= 3 ? patch : 0);
}

bool SystemInfo(SystemInformation& info, const std::string& osRelease) {
    std::array<char, 256> host{};
    if (::gethostname(host.data(), host.size() - 1) == 0) info.computerName = host.data();
    struct utsname u {};
    if (::uname(&u) != 0) return false;
    info.osName = prettyName(osRelease);
    info.versionText = kernelVersionText(u.release);
    info.text = "[SystemInfo] " + info.osName + " " + info.versionText + "\n\n";
    return true;
}

}  // namespace vexal::platform
