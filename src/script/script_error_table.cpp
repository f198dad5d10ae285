#include "script/script_error_table.h"

#include <array>

#include <fmt/format.h>

namespace vexal::script {

namespace {

using M = ErrorMark;

// No (0, none) end marker: the span carries the size.
constexpr std::array<ScriptErrorRow, kScriptErrorRowCount> kRows{{
    {0, "Ok. No Error Present", M::Default},
#include "script/script_error_rows.inc"
}};

// A short initializer would leave zero rows at the end, so check the last row is real too.
static_assert(kRows.front().code == 0 && kRows.front().name == "Ok. No Error Present");
static_assert(kRows.back().code < 0 && !kRows.back().name.empty());

// The older statements use codes -100 to -4022, the later ones -4050 and below; the codes
// between hold only rows with their own mark, so the boundary sits where the later ones begin.
constexpr int32_t kFirstLaterCode = -4050;
constexpr int32_t kFirstErrorCode = -100;

}  // namespace

std::span<const ScriptErrorRow> scriptErrorTable() { return kRows; }

const ScriptErrorRow* findScriptError(int32_t code) {
    for (const ScriptErrorRow& row : kRows)
        if (row.code == code) return &row;
    return nullptr;
}

std::string_view errorPrefix(const ScriptErrorRow& row) {
    switch (row.mark) {
        case M::R: return "Error : Run Time : ";
        case M::R1: return "Error : RunTime : ";
        case M::X: return "Error : Exit : ";
        case M::P: return "Error : Phase 2 : ";
        case M::L: return "Linker Error: ";
        case M::RE: return "RunTime Error: ";
        case M::N: return "";
        case M::Default: break;
    }
    if (row.code <= kFirstLaterCode) return "Error: ";
    if (row.code <= kFirstErrorCode) return "Error : ";
    return "";  // the (0, "Ok. No Error Present") row
}

std::string errorMessage(const ScriptErrorRow& row) {
    std::string message(errorPrefix(row));
    message += row.name;
    return message;
}

std::string FormatError(int32_t code, std::string_view fileName, int line) {
    if (code == 0) return "*** No Error Condition Exists ***";
    const std::string_view file = fileName.empty() ? std::string_view("Unknown") : fileName;
    if (const ScriptErrorRow* row = findScriptError(code))
        return fmt::format("Error In {} @ Line {} : {}", file, line, errorMessage(*row));
    return fmt::format("*** Unknown Error Condition Detected : {} {} @ {} ***", file, code, line);
}

}  // namespace vexal::script
