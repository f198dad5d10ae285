#include "cli/number_option.h"

#include <cctype>
#include <limits>

#include <fmt/format.h>

namespace vexal::cli {
namespace {

constexpr int64_t kSaturated = std::numeric_limits<int64_t>::max();

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Digits in `base`; a value past int64 saturates (it is then out of any range, not "no
// number"). Nullopt when empty or a character is no digit.
std::optional<int64_t> digits(std::string_view text, int base) {
    if (text.empty()) return std::nullopt;
    int64_t value = 0;
    for (char c : text) {
        const int d = hexDigit(c);
        if (d < 0 || d >= base) return std::nullopt;
        value = value > (kSaturated - d) / base ? kSaturated : value * base + d;
    }
    return value;
}

bool bareHex(std::string_view text) {
    bool letter = false;
    for (char c : text) {
        if (hexDigit(c) < 0) return false;
        letter = letter || !std::isdigit(static_cast<unsigned char>(c));
    }
    return letter && !text.empty();
}

std::string forms(const NumberRange& range) {
    return range.bytes ? "decimal (31), 0x1F or 1FH, or bytes with k or M (64k)" : "decimal (31), 0x1F or 1FH";
}

std::string bound(int64_t value) {
    return value >= 256 ? fmt::format("{} (0x{:X})", value, value) : std::to_string(value);
}

}  // namespace

std::optional<int64_t> parseNumber(std::string_view text, const NumberRange& range) {
    bool negative = false;
    if (range.min < 0 && text.starts_with('-')) {
        negative = true;
        text.remove_prefix(1);
    }
    std::optional<int64_t> value;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        value = digits(text.substr(2), 16);
    } else if (text.ends_with('h') || text.ends_with('H')) {
        value = digits(text.substr(0, text.size() - 1), 16);
    } else {
        int64_t unit = 1;
        if (range.bytes && (text.ends_with('k') || text.ends_with('K'))) unit = 1024;
        if (range.bytes && text.ends_with('M')) unit = 1024 * 1024;
        if (unit != 1) text.remove_suffix(1);
        value = digits(text, 10);
        if (value && unit != 1) *value = *value > kSaturated / unit ? kSaturated : *value * unit;
    }
    if (value && negative) *value = -*value;
    return value;
}

std::string numberProblem(std::string_view text, const NumberRange& range) {
    const auto value = parseNumber(text, range);
    if (!value) {
        std::string problem = fmt::format("'{}' is not a number: give {}", text, forms(range));
        if (bareHex(text)) problem += fmt::format(" (hexadecimal needs 0x or H: 0x{0} or {0}H)", text);
        return problem + ".";
    }
    if (*value < range.min || *value > range.max)
        return fmt::format("{} is out of range: give {} to {}.", text, bound(range.min), bound(range.max));
    return {};
}

CLI::Validator numberOption(const NumberRange& range) {
    return CLI::Validator(
        [range](std::string& text) {
            // An empty value stays as it was given: the command's own checks judge it.
            if (text.empty()) return std::string();
            std::string problem = numberProblem(text, range);
            if (problem.empty()) text = std::to_string(*parseNumber(text, range));
            return problem;
        },
        fmt::format("NUMBER {}..{}", range.min, range.max));
}

}  // namespace vexal::cli
