#include "cli/command_access.h"

#include <array>
#include <string_view>

namespace vexal::cli {
namespace {

struct AccessRule {
    const char* command;
    const char* option;  // nullptr: the command itself
    const char* value;   // nullptr: the option given at all
    Access access;
};

constexpr Access kOpen = Access::Customer;
constexpr Access kEng = Access::Engineering;

// The desktop's customer mode offers its File, View (Medium Auxiliary Memory), Settings
// (Preferences) and Tests menus and the labelled tool bar (Scan, Inquiry, Ready, Run Test,
// Firmware, FUP Tape, FA Dump, the wizard that selects a device); the rest of these is its
// engineering menus: Commands, Custom, the EEPROM, Tape Alerts and FA Dump File views, the
// script debugger and fingerprint, and Write Buffer's plain download (mode 4).
constexpr std::array kRules{
    AccessRule{"scan", nullptr, nullptr, kOpen},
    AccessRule{"select", nullptr, nullptr, kOpen},
    AccessRule{"inquiry", nullptr, nullptr, kOpen},
    AccessRule{"ready", nullptr, nullptr, kOpen},
    AccessRule{"run", nullptr, nullptr, kOpen},
    AccessRule{"run", "--step", nullptr, kEng},
    AccessRule{"check", nullptr, nullptr, kOpen},
    AccessRule{"firmware", nullptr, nullptr, kOpen},
    AccessRule{"firmware", "--mode", "4", kEng},
    AccessRule{"fup-tape", nullptr, nullptr, kOpen},
    AccessRule{"fadump", nullptr, nullptr, kOpen},
    AccessRule{"mam", nullptr, nullptr, kOpen},  // its control group: the MAM view's own rule
    AccessRule{"load-count-threshold", nullptr, nullptr, kOpen},
    AccessRule{"send-log", nullptr, nullptr, kOpen},
    AccessRule{"send-view", nullptr, nullptr, kOpen},
    AccessRule{"view", nullptr, nullptr, kOpen},
    AccessRule{"settings", nullptr, nullptr, kOpen},
    AccessRule{"serial-port", nullptr, nullptr, kOpen},
    AccessRule{"mode", nullptr, nullptr, kOpen},  // the way into engineering mode
    AccessRule{"tur", nullptr, nullptr, kEng},
    AccessRule{"request-sense", nullptr, nullptr, kEng},
    AccessRule{"rewind", nullptr, nullptr, kEng},
    AccessRule{"load", nullptr, nullptr, kEng},
    AccessRule{"unload", nullptr, nullptr, kEng},
    AccessRule{"retension", nullptr, nullptr, kEng},
    AccessRule{"read-block-limits", nullptr, nullptr, kEng},
    AccessRule{"read-position", nullptr, nullptr, kEng},
    AccessRule{"space", nullptr, nullptr, kEng},
    AccessRule{"locate", nullptr, nullptr, kEng},
    AccessRule{"mode-sense", nullptr, nullptr, kEng},
    AccessRule{"mode-select", nullptr, nullptr, kEng},
    AccessRule{"set-block-size", nullptr, nullptr, kEng},
    AccessRule{"compression", nullptr, nullptr, kEng},
    AccessRule{"read", nullptr, nullptr, kEng},
    AccessRule{"write", nullptr, nullptr, kEng},
    AccessRule{"write-filemarks", nullptr, nullptr, kEng},
    AccessRule{"verify", nullptr, nullptr, kEng},
    AccessRule{"erase", nullptr, nullptr, kEng},
    AccessRule{"format", nullptr, nullptr, kEng},
    AccessRule{"read-buffer", nullptr, nullptr, kEng},
    AccessRule{"write-buffer", nullptr, nullptr, kEng},
    AccessRule{"send-diagnostic", nullptr, nullptr, kEng},
    AccessRule{"receive-diagnostic", nullptr, nullptr, kEng},
    AccessRule{"prevent", nullptr, nullptr, kEng},
    AccessRule{"allow", nullptr, nullptr, kEng},
    AccessRule{"reserve", nullptr, nullptr, kEng},
    AccessRule{"release", nullptr, nullptr, kEng},
    AccessRule{"init-element-status", nullptr, nullptr, kEng},
    AccessRule{"log-sense", nullptr, nullptr, kEng},
    AccessRule{"log-select", nullptr, nullptr, kEng},
    AccessRule{"bus-reset", nullptr, nullptr, kEng},
    AccessRule{"timeout", nullptr, nullptr, kEng},
    AccessRule{"cdb", nullptr, nullptr, kEng},
    AccessRule{"tape-alerts", nullptr, nullptr, kEng},
    AccessRule{"eeprom", nullptr, nullptr, kEng},
    AccessRule{"fadump-view", nullptr, nullptr, kEng},
    AccessRule{"test", nullptr, nullptr, kEng},
    AccessRule{"tape-log", nullptr, nullptr, kEng},
    AccessRule{"read-structure", nullptr, nullptr, kEng},
    AccessRule{"debug-trace", nullptr, nullptr, kEng},
    AccessRule{"fingerprint", nullptr, nullptr, kEng},
};

bool optionMatches(const CLI::App& command, const AccessRule& rule) {
    const CLI::Option* option = command.get_option_no_throw(rule.option);
    if (!option || option->count() == 0) return false;
    if (!rule.value) return true;
    for (const std::string& given : option->results())
        if (given == rule.value) return true;
    return false;
}

}  // namespace

RequiredAccess requiredAccess(const CLI::App& app) {
    RequiredAccess required;
    for (const CLI::App* command : app.get_subcommands()) {
        const std::string& name = command->get_name();
        bool known = false;
        for (const AccessRule& rule : kRules) {
            if (name != rule.command) continue;
            if (!rule.option) {
                known = true;
                if (rule.access == kEng) required = {kEng, name};
            } else if (rule.access == kEng && optionMatches(*command, rule)) {
                required = {kEng, name + " " + rule.option + (rule.value ? std::string(" ") + rule.value : "")};
            }
        }
        if (!known) required = {kEng, name};
    }
    return required;
}

std::string accessRefusal(const RequiredAccess& required) {
    return "'" + required.what + "' needs engineering mode: give --engineering.";
}

void markEngineeringCommands(CLI::App& app) {
    for (CLI::App* command : app.get_subcommands([](CLI::App*) { return true; })) {
        const std::string& name = command->get_name();
        if (name.empty()) continue;
        bool known = false;
        for (const AccessRule& rule : kRules) {
            if (name != rule.command) continue;
            if (!rule.option) {
                known = true;
                if (rule.access == kEng) command->description(command->get_description() + " " + kEngineeringMark);
                continue;
            }
            if (CLI::Option* option = command->get_option_no_throw(rule.option))
                option->description(option->get_description() + " " + kEngineeringMark +
                                    (rule.value ? std::string(" for ") + rule.value : ""));
        }
        if (!known) command->description(command->get_description() + " " + kEngineeringMark);
    }
    app.footer(app.get_footer() + "\nCommands and options marked " + kEngineeringMark +
               " are offered in engineering mode only: give --engineering\n"
               "with the pass phrase (typed, or in VEXAL_PASSPHRASE), or enter it once with "
               "'vexal-cli mode engineering'.");
}

}  // namespace vexal::cli
