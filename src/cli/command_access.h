#pragma once
// Which mode each vexal-cli command needs: what the desktop offers in customer mode (its
// customer menus and the labelled tool bar) is open; everything its engineering menus alone
// hold needs engineering mode. One table, read before any command runs.
#include <string>

#include <CLI/CLI.hpp>

namespace vexal::cli {

enum class Access { Customer, Engineering };

struct RequiredAccess {
    Access access = Access::Customer;
    std::string what;  // the command as the refusal names it: "tur", "run --step"
};

// What the parsed command line needs. A command the table does not know needs engineering
// mode: a new command is closed until it is given its place.
RequiredAccess requiredAccess(const CLI::App& app);

// The sentence that refuses `required` in customer mode.
std::string accessRefusal(const RequiredAccess& required);

// Marks the help of each engineering command and explains the mark in the footer.
void markEngineeringCommands(CLI::App& app);

inline constexpr const char* kEngineeringMark = "[engineering]";

}  // namespace vexal::cli
