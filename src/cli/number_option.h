#pragma once
// Numbers as vexal-cli reads them, the same in every option and argument: decimal (31),
// hexadecimal with 0x (0x1F) or with a trailing H as scripts write it (1FH), any case; a
// sign where the value may be negative; k (1024) and M (1048576) after a decimal byte count.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <CLI/CLI.hpp>

namespace vexal::cli {

struct NumberRange {
    int64_t min = 0;
    int64_t max = 0;
    bool bytes = false;  // a byte count: k and M suffixes are taken
};

// Any number at all: for options whose command checks the range with its own sentence (a
// value past 64 bits reads as the largest one, which that check refuses).
inline constexpr NumberRange kAnyNumber{-INT64_MAX, INT64_MAX};

// The value of `text`, or nullopt when it is no number of the forms above (a sign is taken
// only when the range reaches below 0). Ranges are not checked here.
std::optional<int64_t> parseNumber(std::string_view text, const NumberRange& range);

// Empty when `text` is a number within the range, else one sentence that says why and shows
// the forms, without the option's name (the caller names it).
std::string numberProblem(std::string_view text, const NumberRange& range);

// A CLI11 transform: checks the text as above and rewrites it as decimal, so that any
// integer option takes the same forms; a bad value is a usage error naming the option.
CLI::Validator numberOption(const NumberRange& range);

// Adds a numeric option (or positional) with the forms above and its range.
template <typename T>
CLI::Option* addNumber(CLI::App* app, const std::string& name, T& target, const std::string& help,
                       const NumberRange& range) {
    return app->add_option(name, target, help)->transform(numberOption(range));
}

}  // namespace vexal::cli
