// vexal-cli mode and settings.
#include <iostream>

#include "app/setting_edit.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/json_result.h"
#include "log/view_colours.h"
#include "platform/paths.h"
#include "platform/settings_store.h"

namespace vexal::cli {

int runMode(CliContext& context, const std::string& mode) {
    CliSession session(context);
    if (const int rc = session.open(false); rc != kExitDone) return session.finish(rc);
    auto& app = session.app();
    if (mode == "engineering") {
        if (!app.engineeringMode && !app.EnterEngineeringMode()) {
            std::cerr << "Engineering mode was not entered: the pass phrase was not given or not accepted.\n";
            return session.finish(kExitFailed);
        }
        app::WriteSetting("ShowEngineeringMode", 1);
    } else {
        app.EnterCustomerMode();
        app::WriteSetting("ShowEngineeringMode", 0);
    }
    JsonResult::run()["mode"] = mode;
    if (!context.options().quiet && !context.options().json) std::cout << "Mode: " << mode << "\n";
    return session.finish(kExitDone);
}

int runSettings(CliContext& context, const SettingsOptions& options) {
    CliSession session(context);
    if (const int rc = session.open(false); rc != kExitDone) return session.finish(rc);
    auto& app = session.app();
    const std::string& action = options.action;
    const bool json = context.options().json;
    auto& out = JsonResult::run();
    out["action"] = action;
    if (action == "set" || action == "get") {
        if (options.name.empty() || (action == "set" && options.value.empty() && options.name != "IscsiPortals")) {
            std::cerr << (action == "set" ? "settings set needs a NAME and a VALUE.\n" : "settings get needs a NAME.\n");
            return session.finish(kExitUsage);
        }
    }
    if (action == "set") {
        std::string error;
        switch (app::SetSetting(app.settings, options.name, options.value, error)) {
        case app::SetResult::Stored:
            out["name"] = std::string(app::SettingName(options.name));
            out["value"] = app::GetSetting(options.name).value_or("");
            if (!context.options().quiet && !json)
                std::cout << app::SettingName(options.name) << "=" << app::GetSetting(options.name).value_or("") << "\n";
            return session.finish(kExitDone);
        case app::SetResult::UnknownName:
        case app::SetResult::BadValue:
            std::cerr << error << "\n";
            return session.finish(kExitUsage);
        case app::SetResult::NotWritten:
            std::cerr << error << "\n";
            return session.finish(kExitTransport);
        }
    }
    if (action == "get") {
        const auto value = app::GetSetting(options.name);
        if (!value) {
            std::cerr << app::UnknownSettingText(options.name) << "\n";
            return session.finish(kExitUsage);
        }
        out["name"] = std::string(app::SettingName(options.name));
        out["value"] = *value;
        if (!json) std::cout << *value << "\n";
        return session.finish(kExitDone);
    }
    if (action == "list") {
        nlohmann::json settings = nlohmann::json::object();
        for (std::string_view name : app::EditableSettings()) {
            settings[std::string(name)] = app::GetSetting(name).value_or("");
            if (!json) std::cout << name << "=" << app::GetSetting(name).value_or("") << "\n";
        }
        out["settings"] = std::move(settings);
        return session.finish(kExitDone);
    }
    if (action == "reset") {
        app.ResetSettingsToDefaults();
        log::ViewColours colours;
        colours.reset();
    }
    platform::IniFile ini;
    if (!platform::IniFile::load(platform::userSettingsFile(), ini)) {
        std::cerr << "Cannot read " << platform::userSettingsFile() << ".\n";
        return session.finish(kExitTransport);
    }
    if (json) {
        nlohmann::json settings = nlohmann::json::object();
        for (const auto& section : ini.sections())
            for (const auto& [key, value] : section.values)
                if (key != "Password") settings[key] = value;
        settings["InstallPath"] = platform::installPath().string();
        out["file"] = platform::userSettingsFile().string();
        out["settings"] = std::move(settings);
        return session.finish(kExitDone);
    }
    std::cout << "# " << platform::userSettingsFile().string() << "\n";
    for (const auto& section : ini.sections())
        for (const auto& [key, value] : section.values)
            if (key != "Password") std::cout << key << "=" << value << "\n";
    std::cout << "InstallPath=" << platform::installPath().string() << "\n";
    return session.finish(kExitDone);
}

}  // namespace vexal::cli
