#include "cli/parse_failure.h"

#include <filesystem>
#include <iostream>

namespace vexal::cli {

bool explainUnknownCommand(const CLI::App& app, const CLI::ParseError& error, const std::string& virtualProfile) {
    if (dynamic_cast<const CLI::RequiredError*>(&error) == nullptr || !app.get_subcommands().empty()) return false;
    std::string word;
    for (const std::string& arg : app.remaining())
        if (!arg.empty() && arg.front() != '-') {
            word = arg;
            break;
        }
    // "--virtual foo" reads foo as a profile; a word that is no file was meant as a command.
    std::error_code ec;
    if (word.empty() && !virtualProfile.empty() && !std::filesystem::exists(virtualProfile, ec)) word = virtualProfile;
    if (word.empty()) return false;  // no command at all: the parser says a command is required
    std::cerr << "Unknown command '" << word << "': run 'vexal-cli --help' for the list of commands.\n";
    return true;
}

}  // namespace vexal::cli
