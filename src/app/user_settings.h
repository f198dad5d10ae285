#pragma once
// The user settings ("Mendra" in the user store): read with defaults, reset, and the
// values saved when the main window closes.
#include <string>

namespace vexal::app {

struct UserSettings {
    int fullScreen = 1;
    int left = 0, top = 0, right = 0, bottom = 0;
    int showSplashScreen = 1;
    int showUpdateWizard = 1;
    int showSystemTrayIcon = 1;
    int showEngineeringMode = 0;
    int tapeAlertSet = 1;
    int passwordSet = 0;
    std::string password;
    std::string lastDirectory;
    int wizard = 1;
    int mode = 1;
    // Linux additions: which transport the scan uses and the iSCSI portals.
    std::string transport = "sg";
    std::string iscsiPortals;
    // The serial port scripts talk to (SERIAL, BAUD): a device, or "virtual" for the
    // virtual drive's console.
    std::string serialPort = "ttyS0";

    // The stored rectangle is applied only when all four values are non-zero.
    bool hasPlacement() const { return left != 0 && top != 0 && right != 0 && bottom != 0; }
};

// Opens or creates the key; a fresh key gets every default written, a value that cannot
// be read is written with its default. False when the key can be neither created nor opened.
bool LoadSettings(UserSettings& settings);

// Writes one value (decimal text); false when the store cannot be written.
bool WriteSetting(const char* name, const std::string& value);
bool WriteSetting(const char* name, int value);

}  // namespace vexal::app
