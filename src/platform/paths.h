#pragma once
// Where the program keeps its files. With VEXAL_ROOT set (tests, portable use) everything
// lives below it; otherwise the XDG folders.
#include <filesystem>

namespace vexal::platform {

// The user settings store (Corvine/Mendra.ini).
std::filesystem::path userSettingsFile();
// The framework profile (Mendra/Vexal.ini): instance count, selected and labelled devices.
std::filesystem::path profileFile();
// The machine-wide store holding InstallPath (read only).
std::filesystem::path machineSettingsFile();
// The folder for the single-instance lock and socket.
std::filesystem::path runtimeDir();
// InstallPath from the machine store, else the default data folder; always ends in '/'.
// The default folder and its Logs/, Scripts/ and FADump/ are created when missing.
std::filesystem::path installPath();

}  // namespace vexal::platform
