#include "cli/cartridge_commands.h"

#include <iostream>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "cli/cli_session.h"
#include "cli/number_option.h"
#include "cli/json_result.h"
#include "device/drive_family.h"
#include "diag/eeprom_page.h"
#include "diag/eeprom_tree.h"
#include "diag/eeprom_write.h"
#include "diag/load_count_threshold.h"
#include "diag/mam_reader.h"
#include "platform/paths.h"

namespace vexal::cli {
namespace {

constexpr const char* kControlRefused =
    "The Control Data group is shown in engineering mode only: give --engineering.";

std::string hex(const std::vector<uint8_t>& bytes) {
    std::string out;
    for (uint8_t b : bytes) out += fmt::format("{:02X}", b);
    return out;
}

nlohmann::json groupJson(const diag::MamPage& page) {
    const diag::MamGroupDef& g = diag::mamGroup(page.group);
    nlohmann::json rows = nlohmann::json::array();
    for (const diag::MamRow& row : page.rows) {
        nlohmann::json fields = nlohmann::json::array();
        for (const diag::MamField& f : row.fields) {
            nlohmann::json field{{"name", f.name}, {"value", f.value}};
            if (f.checked) field["checked"] = *f.checked;
            fields.push_back(std::move(field));
        }
        rows.push_back({{"position", row.def->position},
                        {"id", fmt::format("0x{:04X}", row.def->id)},
                        {"name", row.def->name},
                        {"description", row.def->description},
                        {"available", row.available},
                        {"value", row.text},
                        {"raw", hex(row.value)},
                        {"fields", std::move(fields)}});
    }
    return {{"group", g.key}, {"tab", g.tab}, {"title", g.title}, {"description", g.description},
            {"attributes", std::move(rows)}};
}

void printGroup(const diag::MamPage& page) {
    const diag::MamGroupDef& g = diag::mamGroup(page.group);
    std::cout << g.tab << ": " << g.title << "\n";
    if (!g.description.empty()) std::cout << "  " << g.description << "\n";
    std::cout << fmt::format("  {:>2}  {:<6}  {:<42}  {}\n", "#", "Id", "Name", "Value");
    for (const diag::MamRow& row : page.rows) {
        std::cout << fmt::format("  {:>2}  {:04X}h   {:<42}  {}\n", row.def->position, row.def->id, row.def->name,
                                 row.text);
        for (const diag::MamField& f : row.fields)
            std::cout << fmt::format("              {:<40}  {}\n", f.name, f.value);
    }
    std::cout << "\n";
}

// A plain message through the Operator interface (its default buttons).
void warn(ui::Operator& op, std::string_view text) { op.message(text, "Vexal", ui::Icon::Exclamation); }

bool splitAssignment(const std::string& text, std::string& name, std::string& value) {
    const auto eq = text.find('=');
    if (eq == std::string::npos || eq == 0 || eq + 1 == text.size()) return false;
    name = text.substr(0, eq);
    value = text.substr(eq + 1);
    return true;
}

// The value the EEPROM window would accept for this record.
bool acceptableValue(const diag::EepromParameter& p, const std::string& value) {
    if (p.type == "b") return value == "0" || value == "1";
    if (p.type == "d") return diag::eepromNumberInRange(p, value);
    return value.size() <= diag::kEepromFieldChars;
}

void printParameters(const std::vector<diag::EepromParameter>& parameters, bool json) {
    if (json) {
        nlohmann::json list = nlohmann::json::array();
        for (const auto& p : parameters)
            list.push_back({{"name", p.name},
                            {"type", p.type},
                            {"current", p.current},
                            {"default", p.defaultValue},
                            {"minimum", p.minimum},
                            {"maximum", p.maximum}});
        JsonResult::run().setList(std::move(list));
        return;
    }
    std::cout << fmt::format("{:<24} {:<4} {:<10} {:<10} {:<10} {}\n", "Name", "Type", "Current", "Default",
                             "Minimum", "Maximum");
    for (const auto& p : parameters)
        std::cout << fmt::format("{:<24} {:<4} {:<10} {:<10} {:<10} {}\n", p.name, p.type, p.current,
                                 p.defaultValue, p.minimum, p.maximum);
}

}  // namespace

CartridgeCommands::CartridgeCommands(CLI::App& app) {
    mam_ = app.add_subcommand("mam", "Medium auxiliary memory attributes of the cartridge");
    mam_->add_option("--group", group_, "device, medium, host or control (engineering mode); default: all shown")
        ->check(CLI::IsMember({"device", "medium", "host", "control"}));
    eeprom_ = app.add_subcommand("eeprom", "The drive's EEPROM parameter page (mode page 3Eh)");
    eeprom_->add_option("--set", eepromSet_, "Change one parameter: NAME=VALUE (engineering mode)");
    threshold_ = app.add_subcommand("load-count-threshold", "The load count Tape Alert threshold, in hundreds of loads");
    // Any number here: the threshold's own check names its range.
    addNumber(threshold_, "--set", thresholdSet_, "New threshold from 2 to 50 (hundreds of loads)",
              kAnyNumber);
}

bool CartridgeCommands::run(CliContext& context, int& rc) {
    if (*mam_) rc = runMam(context);
    else if (*eeprom_) rc = runEeprom(context);
    else if (*threshold_) rc = runThreshold(context);
    else return false;
    return true;
}

int CartridgeCommands::runMam(CliContext& context) {
    CliSession session(context);
    if (const int rc = session.open(); rc != kExitDone) return session.finish(rc);
    const bool engineering = session.app().engineeringMode;
    std::vector<diag::MamGroupId> groups;
    if (group_.empty()) {
        groups = diag::visibleMamGroups(engineering);
    } else {
        diag::MamGroupId id{};
        diag::parseMamGroupName(group_, id);
        if (diag::mamGroupAllowed(id, engineering) != diag::MamGroupRefusal::None) {
            std::cerr << kControlRefused << "\n";
            return session.finish(kExitUsage);
        }
        groups.push_back(id);
    }
    nlohmann::json out = nlohmann::json::array();
    bool anyAvailable = false;
    for (diag::MamGroupId id : groups) {
        const diag::MamPage page = diag::ReadMamGroup(session.doc().device(), id);
        for (const auto& row : page.rows) anyAvailable = anyAvailable || row.available;
        if (context.options().json) out.push_back(groupJson(page));
        else printGroup(page);
    }
    if (context.options().json) JsonResult::run().setList(std::move(out));
    if (!anyAvailable) std::cerr << "No attribute could be read: is a cartridge loaded?\n";
    return session.finish(anyAvailable ? kExitDone : kExitFailed);
}

int CartridgeCommands::runEeprom(CliContext& context) {
    std::string name, value;
    const bool set = eeprom_->get_option("--set")->count() > 0;
    if (set && !splitAssignment(eepromSet_, name, value)) {
        std::cerr << "--set takes NAME=VALUE, e.g. KorvLoadCountThresh=20.\n";
        return kExitUsage;
    }
    CliSession session(context);
    if (const int rc = session.open(); rc != kExitDone) return session.finish(rc);
    if (set && !session.app().engineeringMode) {
        std::cerr << "Changing an EEPROM parameter needs engineering mode: give --engineering.\n";
        return session.finish(kExitUsage);
    }
    auto& device = session.doc().device();
    diag::EepromParameterList list(device, context.op(), platform::installPath());
    if (!list.Load()) {
        std::cerr << "The drive's EEPROM parameter page could not be read.\n";
        return session.finish(kExitFailed);
    }
    if (set) {
        const diag::EepromParameter* p = list.find(name);
        if (!p) {
            std::cerr << "The drive's EEPROM parameter page does not list " << name << ".\n";
            return session.finish(kExitFailed);
        }
        if (!acceptableValue(*p, value)) {
            warn(context.op(), diag::kEepromOutOfRangeMessage);
            return session.finish(kExitUsage);
        }
        const diag::EepromWriteOutcome outcome = diag::WriteEepromParameter(device, name, value);
        if (!outcome.ok()) {
            std::cerr << (outcome.sent ? "The drive did not accept the new value of " + name + "."
                                       : "The value of " + name + " cannot be written as text of one word.")
                      << "\n";
            return session.finish(kExitFailed);
        }
        if (!list.Load()) {
            std::cerr << "The drive's EEPROM parameter page could not be read again.\n";
            return session.finish(kExitFailed);
        }
    }
    printParameters(list.parameters(), context.options().json);
    return session.finish(kExitDone);
}

int CartridgeCommands::runThreshold(CliContext& context) {
    const bool set = threshold_->get_option("--set")->count() > 0;
    if (set && !diag::loadCountThresholdInRange(thresholdSet_)) {
        std::cerr << "--set takes a threshold from " << diag::kLoadCountThresholdMinimum << " to "
                  << diag::kLoadCountThresholdMaximum << " (hundreds of loads).\n";
        return kExitUsage;
    }
    CliSession session(context);
    if (const int rc = session.open(); rc != kExitDone) return session.finish(rc);
    auto& device = session.doc().device();
    const uint8_t family = context.scanner().DriveFamily(device.handle);
    if (!device::hasLoadCountThreshold(family)) {
        std::cerr << "The load count threshold is kept by drives of families 10, 11 and 12 only; this drive's family "
                     "is "
                  << int{family} << ".\n";
        return session.finish(kExitFailed);
    }
    std::optional<long> value = diag::ReadLoadCountThreshold(device, context.op(), platform::installPath());
    if (!value) {
        warn(context.op(), diag::kLoadCountNotFoundMessage);
        return session.finish(kExitFailed);
    }
    if (set) {
        if (!diag::WriteLoadCountThreshold(device, thresholdSet_)) {
            warn(context.op(), diag::kLoadCountWriteFailedMessage);
            return session.finish(kExitFailed);
        }
        value = diag::ReadLoadCountThreshold(device, context.op(), platform::installPath());
        if (!value) {
            warn(context.op(), diag::kLoadCountNotFoundMessage);
            return session.finish(kExitFailed);
        }
    }
    if (context.options().json) {
        JsonResult::run()["threshold"] = *value;
        JsonResult::run()["loads"] = *value * 100;
    } else
        std::cout << diag::kLoadCountNumberItem << ": " << *value << " (" << *value * 100 << " loads)\n";
    return session.finish(kExitDone);
}

}  // namespace vexal::cli
