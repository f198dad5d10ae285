// vexal-cli mode and settings.
#include <iostream>

#include "cli/cli_session.h"
#include "cli/commands.h"
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
    if (!context.options().quiet) std::cout << "Mode: " << mode << "\n";
    return session.finish(kExitDone);
}

int runSettings(CliContext& context, const std::string& action) {
    CliSession session(context);
    if (const int rc = session.open(false); rc != kExitDone) return session.finish(rc);
    auto& app = session.app();
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
    std::cout << "# " << platform::userSettingsFile().string() << "\n";
    for (const auto& section : ini.sections())
        for (const auto& [key, value] : section.values)
            if (key != "Password") std::cout << key << "=" << value << "\n";
    std::cout << "InstallPath=" << platform::installPath().string() << "\n";
    return session.finish(kExitDone);
}

}  // namespace vexal::cli
