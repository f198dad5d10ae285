#pragma once
// The operating-system description the session log header prints.
#include <string>

namespace vexal::platform {

struct SystemInformation {
    std::string productTitle = "Korvane Vexal";
    std::string platformWord = "Linux";
    std::string computerName;
    std::string osName;       // the distribution's pretty name
    std::string versionText;  // "Version %d.%d %s (Build %d)"
    std::string text;         // "[SystemInfo] " + osName + " " + versionText + "\n\n"
};

// Fills `info` from uname and os-release (`osRelease` names the file to read, for tests).
// False when the kernel version cannot be read.
bool SystemInfo(SystemInformation& info, const std::string& osRelease = "/etc/os-release");

// "Version %d.%d %s (Build %d)" from a kernel release such as "6.1.0-18-amd64": major,
// minor, the text after the numbers, and the patch level as the build.
std::string kernelVersionText(const std::string& release);

}  // namespace vexal::platform
