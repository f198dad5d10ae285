#include "platform/paths.h"

#include <cstdlib>

#include "platform/ini_file.h"
#include "platform/shipped_data.h"

namespace vexal::platform {
namespace fs = std::filesystem;
namespace {

const char* env(const char* name) {
    const char* v = std::getenv(name);
    return v && *v ? v : nullptr;
}

fs::path home() {
    if (const char* h = env("HOME")) return h;
    return "/tmp";
}

fs::path xdg(const char* variable, const char* fallback) {
    if (const char* v = env(variable)) return v;
    return home() / fallback;
}

}  // namespace

fs::path userSettingsFile() {
    if (const char* root = env("VEXAL_ROOT")) return fs::path(root) / "config/Corvine/Mendra.ini";
    return xdg("XDG_CONFIG_HOME", ".config") / "Corvine/Mendra.ini";
}

fs::path profileFile() {
    if (const char* root = env("VEXAL_ROOT")) return fs::path(root) / "config/Mendra/Vexal.ini";
    return xdg("XDG_CONFIG_HOME", ".config") / "Mendra/Vexal.ini";
}

fs::path machineSettingsFile() {
    if (const char* root = env("VEXAL_ROOT")) return fs::path(root) / "etc/Corvine/Mendra.ini";
    return "/etc/Corvine/Mendra.ini";
}

fs::path runtimeDir() {
    if (const char* root = env("VEXAL_ROOT")) return fs::path(root) / "run";
    if (const char* run = env("XDG_RUNTIME_DIR")) return run;
    return fs::temp_directory_path();
}

fs::path installPath() {
    IniFile machine;
    std::string path;
    if (IniFile::load(machineSettingsFile(), machine)) {
        // The installer's value may sit in a [Mendra] section or at the top of the file.
        if (auto v = machine.get("Mendra", "InstallPath")) path = *v;
        else if (auto top = machine.get("", "InstallPath")) path = *top;
    }
    const bool fromMachine = !path.empty();
    if (!fromMachine) {
        if (const char* root = env("VEXAL_ROOT")) path = (fs::path(root) / "data/Korvane/Vexal").string();
        else path = (xdg("XDG_DATA_HOME", ".local/share") / "Korvane/Vexal").string();
    }
    if (path.back() != '/') path += '/';
    if (!fromMachine) {
        // The installed default scripts and help, before the empty folders are made.
        seedDataFolder(shippedDataFolder(), path);
        std::error_code ec;
        for (const char* sub : {"Logs", "Scripts", "FADump"}) fs::create_directories(fs::path(path) / sub, ec);
    }
    return path;
}

}  // namespace vexal::platform
