#include "cli/space_code.h"

#include <string_view>

#include "cli/number_option.h"

namespace vexal::cli {
namespace {

struct SpaceName {
    std::string_view name;
    int code;
};

// Code 2 is sequential filemarks in this command; setmarks (code 4 elsewhere) are not sent.
constexpr SpaceName kNames[] = {
    {"blocks", 0}, {"filemarks", 1}, {"sequential-filemarks", 2}, {"eod", kSpaceEndOfData},
};

}  // namespace

CLI::Validator spaceCodeOption() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            for (const SpaceName& n : kNames)
                if (text == n.name) {
                    text = std::to_string(n.code);
                    return {};
                }
            constexpr NumberRange kCodes{0, kSpaceEndOfData};
            if (parseNumber(text, kCodes)) {
                std::string problem = numberProblem(text, kCodes);
                if (problem.empty()) text = std::to_string(*parseNumber(text, kCodes));
                return problem;
            }
            std::string problem =
                "'" + text + "' is no space code: give blocks, filemarks, sequential-filemarks or eod (or 0 to 3).";
            if (text == "setmarks") problem += " Code 2 of this command spaces over sequential filemarks, not setmarks.";
            return problem;
        },
        "CODE");
}

}  // namespace vexal::cli
