#pragma once
// What the main window's files share: text conversion and the installation folder.
#include <QString>

#include <filesystem>
#include <string_view>

#include "log/install_folder.h"

namespace vexal::gui::detail {

inline QString q(std::string_view s) { return QString::fromUtf8(s.data(), int(s.size())); }

// The installation folder, or empty when it cannot be found (the log system said why).
inline std::filesystem::path installPath() {
    const auto found = log::lookUpInstallPath();
    return found.status == log::InstallPathStatus::Ok ? found.path : std::filesystem::path();
}

}  // namespace vexal::gui::detail
