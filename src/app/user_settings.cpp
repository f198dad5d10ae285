#include "app/user_settings.h"

#include <array>
#include <functional>

#include "platform/settings_store.h"

namespace vexal::app {
namespace {

// One row per value, in the order LoadSettings handles them.
struct Field {
    const char* name;
    std::function<std::string(const UserSettings&)> get;
    std::function<void(UserSettings&, const std::string&)> set;
};

template <int UserSettings::*member>
Field intField(const char* name) {
    return {name, [](const UserSettings& s) { return std::to_string(s.*member); },
            [](UserSettings& s, const std::string& v) { s.*member = static_cast<int>(platform::decimalValue(v)); }};
}

template <std::string UserSettings::*member>
Field textField(const char* name) {
    return {name, [](const UserSettings& s) { return s.*member; },
            [](UserSettings& s, const std::string& v) { s.*member = v; }};
}

const std::array<Field, 18>& fields() {
    static const std::array<Field, 18> table{
        intField<&UserSettings::fullScreen>("FullScreen"),
        intField<&UserSettings::bottom>("Bottom"),
        intField<&UserSettings::top>("Top"),
        intField<&UserSettings::left>("Left"),
        intField<&UserSettings::right>("Right"),
        intField<&UserSettings::showSplashScreen>("ShowSplashScreen"),
        intField<&UserSettings::showUpdateWizard>("ShowUpdateWizard"),
        intField<&UserSettings::showSystemTrayIcon>("ShowSystemTrayIcon"),
        intField<&UserSettings::showEngineeringMode>("ShowEngineeringMode"),
        intField<&UserSettings::tapeAlertSet>("TapeAlertSet"),
        intField<&UserSettings::passwordSet>("PasswordSet"),
        textField<&UserSettings::password>("Password"),
        textField<&UserSettings::lastDirectory>("LastDirectory"),
        intField<&UserSettings::wizard>("Wizard"),
        intField<&UserSettings::mode>("Mode"),
        textField<&UserSettings::transport>("Transport"),
        textField<&UserSettings::iscsiPortals>("IscsiPortals"),
        textField<&UserSettings::serialPort>("SerialPort"),
    };
    return table;
}

}  // namespace

bool LoadSettings(UserSettings& settings) {
    const UserSettings defaults;
    settings = defaults;
    platform::SettingsKey key;
    const int opened = key.CreateOrOpen("Mendra");
    if (opened == 0) return false;
    for (const Field& f : fields()) {
        std::string value;
        if (opened == 2 && key.ReadString(f.name, value) == 0) {
            f.set(settings, value);
        } else {
            key.WriteString(f.name, f.get(defaults));
        }
    }
    return true;
}

bool WriteSetting(const char* name, const std::string& value) {
    platform::SettingsKey key;
    return key.CreateOrOpen("Mendra") != 0 && key.WriteString(name, value) == 0;
}

bool WriteSetting(const char* name, int value) { return WriteSetting(name, std::to_string(value)); }

}  // namespace vexal::app
