#include "log/install_folder.h"

#include "platform/ini_file.h"
#include "platform/paths.h"

namespace vexal::log {

InstallPathLookup lookUpInstallPath() {
    platform::IniFile machine;
    if (!platform::IniFile::load(platform::machineSettingsFile(), machine)) return {InstallPathStatus::KeyUnavailable, {}};
    std::filesystem::path path = platform::installPath();
    if (path.empty()) return {InstallPathStatus::ValueUnavailable, {}};
    return {InstallPathStatus::Ok, path};
}

std::string_view installPathMessage(InstallPathStatus status) {
    switch (status) {
    case InstallPathStatus::KeyUnavailable: return kKeyUnavailableMessage;
    case InstallPathStatus::ValueUnavailable: return kValueUnavailableMessage;
    case InstallPathStatus::Ok: break;
    }
    return {};
}

}  // namespace vexal::log
