#pragma once
// Where the log system finds the installation folder, and what it tells the operator
// when the settings store that holds it cannot be read.
#include <filesystem>
#include <functional>
#include <string_view>

namespace vexal::log {

enum class InstallPathStatus { Ok, KeyUnavailable, ValueUnavailable };

struct InstallPathLookup {
    InstallPathStatus status = InstallPathStatus::Ok;
    std::filesystem::path path;  // ends in '/' when status is Ok
};

using InstallPathSource = std::function<InstallPathLookup()>;

inline constexpr std::string_view kKeyUnavailableMessage =
    "Unable to open registry key 'Mendra'.\n\nCannot initialize log system!";
inline constexpr std::string_view kValueUnavailableMessage =
    "Unable to query registry key to determine 'InstallPath'.\n\nCannot initialize log system!";

// The machine settings store that holds InstallPath cannot be read: KeyUnavailable;
// no installation folder results: ValueUnavailable; otherwise the folder.
InstallPathLookup lookUpInstallPath();

// The message for a failed lookup (empty for Ok).
std::string_view installPathMessage(InstallPathStatus status);

}  // namespace vexal::log
