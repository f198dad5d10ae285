#pragma once
// SPACE's CODE as users type it: a name (blocks, filemarks, sequential-filemarks, eod) or
// the code itself as any number (0 to 3).
#include <CLI/CLI.hpp>

namespace vexal::cli {

inline constexpr int kSpaceEndOfData = 3;  // the one code that goes without a count
inline constexpr const char* kSpaceCodeHelp =
    "blocks (0), filemarks (1), sequential-filemarks (2) or eod (3), by name or number";

// A CLI11 transform that rewrites a name as its code and checks a number as numbers are
// checked everywhere; anything else is a usage error that lists the names.
CLI::Validator spaceCodeOption();

}  // namespace vexal::cli
