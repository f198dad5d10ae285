#pragma once
// The application object: settings mirrors, the modes and their pass phrases, the
// instance count. Window effects (menus, title, command windows) go through ShellHooks;
// questions and messages through the Operator.
#include "operator/operator.h"
#include "app/user_settings.h"

namespace vexal::app {

// What a mode switch does to the window; the desktop implements it, the terminal ignores it.
class ShellHooks {
public:
    virtual ~ShellHooks() = default;
    virtual void showEngineeringMenus(bool engineering) { (void)engineering; }
    virtual void setTitle(std::string_view title) { (void)title; }
    virtual void showCommandWindows(bool show) { (void)show; }
    virtual void maximise() {}
};

struct WindowPlacement {
    bool maximised = false;
    int left = 0, top = 0, right = 0, bottom = 0;
};

class CFalderApp {
public:
    enum class PasswordResult { Ok, Cancel };

    CFalderApp(ui::Operator& op, ShellHooks& shell) : op_(op), shell_(shell) {}

    bool LoadSettings();
    void ResetSettingsToDefaults();
    void SaveWindowSettings(const WindowPlacement& placement);

    // The pass-phrase dialog; `engineeringOnly`/`wizardOnly` are its two switches.
    PasswordResult PasswordDialog(bool engineeringOnly, bool wizardOnly);
    // 1 accepted, 0 no match or nothing stored, -1 the operator declined wizard privileges.
    int VerifyStoredPassword();
    bool EnterEngineeringMode();
    void EnterCustomerMode();
    // Shift+Alt+W in engineering mode.
    void WizardAccess();

    // Start and exit bookkeeping: "Instance Count" and forgetting wizard privileges.
    int StartInstance();
    void ExitInstance();

    bool customerMode = true;
    bool engineeringMode = false;
    bool wizardPrivileges = false;
    int instanceNumber = 1;
    UserSettings settings;

private:
    void storePassword(const std::string& digest);
    void forgetPassword();

    ui::Operator& op_;
    ShellHooks& shell_;
};

inline constexpr const char* kPasswordIncorrect = "The password you provided is incorrect.";
inline constexpr const char* kRevokeWizardQuestion =
    "You currently have wizard priviledges.  If you allow engineering mode wizard access will be revoked.  Are you "
    "sure you want to do this?";
inline constexpr const char* kWizardWarning =
    "WARNING: You will have unrestricted access to all SCSI devices in the list.  You must exercise extreme caution "
    "in this mode due to the fact that you can destroy the data stored on your system's hard-disk or other device "
    "rendering the device or your system unusable.  Are you sure you want to continue?";
inline constexpr const char* kResetDefaultsQuestion = "Are you sure you want to set the application to its default state?";

}  // namespace vexal::app
