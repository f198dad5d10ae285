#pragma once
// What vexal-cli says when its command line names no command it knows.
#include <string>

#include <CLI/CLI.hpp>

namespace vexal::cli {

// When `error` comes from a command line that names a command vexal-cli does not know,
// prints one sentence on stderr naming it and returns true; the caller exits with the usage
// status. `virtualProfile` is --virtual's value, which takes the next word.
bool explainUnknownCommand(const CLI::App& app, const CLI::ParseError& error, const std::string& virtualProfile);

}  // namespace vexal::cli
