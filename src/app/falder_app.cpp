#include "app/falder_app.h"

#include "app/pass_phrases.h"
#include "platform/settings_store.h"

namespace vexal::app {

bool CFalderApp::LoadSettings() { return app::LoadSettings(settings); }

void CFalderApp::storePassword(const std::string& digest) {
    settings.password = digest;
    settings.passwordSet = 1;
    WriteSetting("Password", digest);
    WriteSetting("PasswordSet", 1);
}

void CFalderApp::forgetPassword() {
    settings.passwordSet = 0;
    settings.password.clear();
    WriteSetting("PasswordSet", 0);
    WriteSetting("Password", "");
}

CFalderApp::PasswordResult CFalderApp::PasswordDialog(bool engineeringOnly, bool wizardOnly) {
    for (;;) {
        std::string typed;
        if (!op_.askSecret("Enter Password:", "Password", typed)) return PasswordResult::Cancel;
        const std::string digest = md5Hex(typed);
        if (digest == engineeringDigest() && !wizardOnly) {
            if (!wizardPrivileges) {
                storePassword(digest);
            } else if (op_.message(kRevokeWizardQuestion, "Vexal", ui::Icon::Question, ui::Buttons::YesNo, ui::Button::No) ==
                       ui::Button::Yes) {
                wizardPrivileges = false;
                storePassword(digest);
            }
            return PasswordResult::Ok;
        }
        if (engineeringOnly) return PasswordResult::Ok;
        if (digest == wizardDigest()) {
            storePassword(digest);
            wizardPrivileges = true;
            return PasswordResult::Ok;
        }
        op_.message(kPasswordIncorrect, "Vexal", ui::Icon::Exclamation, ui::Buttons::Ok, ui::Button::Ok);
    }
}

int CFalderApp::VerifyStoredPassword() {
    platform::SettingsKey key;
    std::string stored;
    if (!key.Open("Mendra") || key.ReadString("Password", stored) != 0) return 0;
    if (stored == engineeringDigest()) {
        settings.passwordSet = 1;
        return 1;
    }
    if (stored != wizardDigest()) return 0;
    if (op_.message(kWizardWarning, "Vexal", ui::Icon::Exclamation, ui::Buttons::YesNo, ui::Button::No) == ui::Button::Yes) {
        wizardPrivileges = true;
        return 1;
    }
    if (engineeringMode) {
        if (settings.passwordSet) storePassword(engineeringDigest());
        else forgetPassword();
    }
    return -1;
}

bool CFalderApp::EnterEngineeringMode() {
    if (settings.passwordSet == 0 && PasswordDialog(false, false) == PasswordResult::Cancel) {
        EnterCustomerMode();
        return false;
    }
    switch (VerifyStoredPassword()) {
    case 0:
        if (PasswordDialog(false, false) == PasswordResult::Cancel) {
            EnterCustomerMode();
            return false;
        }
        break;
    case -1:
        forgetPassword();
        EnterCustomerMode();
        return false;
    default:
        break;
    }
    shell_.showEngineeringMenus(true);
    engineeringMode = true;
    settings.showEngineeringMode = 1;
    customerMode = false;
    shell_.setTitle("Korvane Vexal [Engineering Mode]");
    shell_.showCommandWindows(true);
    return true;
}

void CFalderApp::EnterCustomerMode() {
    shell_.showEngineeringMenus(false);
    engineeringMode = false;
    settings.showEngineeringMode = 0;
    customerMode = true;
    if (wizardPrivileges) {
        wizardPrivileges = false;
        forgetPassword();
    }
    shell_.setTitle("Vexal");
    shell_.showCommandWindows(false);
}

void CFalderApp::WizardAccess() {
    if (!engineeringMode || wizardPrivileges) return;
    if (PasswordDialog(false, true) != PasswordResult::Ok) return;
    int verdict = VerifyStoredPassword();
    if (verdict == 0 && PasswordDialog(false, true) == PasswordResult::Ok) verdict = VerifyStoredPassword();
    if (verdict == -1) wizardPrivileges = false;
}

void CFalderApp::ResetSettingsToDefaults() {
    if (op_.message(kResetDefaultsQuestion, "Vexal", ui::Icon::Question, ui::Buttons::YesNoCancel, ui::Button::Yes) != ui::Button::Yes)
        return;
    const UserSettings d;
    settings.fullScreen = 1;
    WriteSetting("FullScreen", 1);
    shell_.maximise();
    settings.bottom = settings.top = settings.left = settings.right = 0;
    for (const char* name : {"Bottom", "Top", "Left", "Right"}) WriteSetting(name, 0);
    settings.showSplashScreen = settings.showUpdateWizard = settings.showSystemTrayIcon = 1;
    for (const char* name : {"ShowSplashScreen", "ShowUpdateWizard", "ShowSystemTrayIcon"}) WriteSetting(name, 1);
    if (engineeringMode) {
        settings.showEngineeringMode = 0;
        settings.tapeAlertSet = 1;
        WriteSetting("ShowEngineeringMode", 0);
        WriteSetting("TapeAlertSet", 1);
        forgetPassword();
        wizardPrivileges = false;
    }
    settings.lastDirectory.clear();
    settings.wizard = d.wizard;
    settings.mode = d.mode;
    WriteSetting("LastDirectory", "");
    WriteSetting("Wizard", 1);
    WriteSetting("Mode", 1);
}

void CFalderApp::SaveWindowSettings(const WindowPlacement& placement) {
    WindowPlacement p = placement;
    if (p.maximised) {
        WriteSetting("FullScreen", 1);
        p.left = p.top = p.right = p.bottom = 0;
    } else {
        WriteSetting("FullScreen", 0);
    }
    WriteSetting("Bottom", p.bottom);
    WriteSetting("Top", p.top);
    WriteSetting("Left", p.left);
    WriteSetting("Right", p.right);
    WriteSetting("ShowSplashScreen", settings.showSplashScreen);
    WriteSetting("ShowUpdateWizard", settings.showUpdateWizard);
    WriteSetting("ShowEngineeringMode", settings.showEngineeringMode);
    WriteSetting("TapeAlertSet", settings.tapeAlertSet);
    WriteSetting("PasswordSet", settings.passwordSet);
    if (settings.passwordSet == 0 || wizardPrivileges) {
        WriteSetting("Password", "");
        WriteSetting("ShowEngineeringMode", 0);
    }
}

int CFalderApp::StartInstance() {
    const long count = platform::ProfileStore::changeInstanceCount(+1);
    instanceNumber = count > 0 ? static_cast<int>(count) : 1;
    return instanceNumber;
}

void CFalderApp::ExitInstance() {
    platform::ProfileStore::changeInstanceCount(-1);
    if (wizardPrivileges) {
        WriteSetting("PasswordSet", 0);
        WriteSetting("Password", "");
    }
}

}  // namespace vexal::app
