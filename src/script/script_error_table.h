#pragma once
// The script engine's error table: every load and run-time error code with its words, and
// the error line the loader and the executor append to the trail file.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vexal::script {

// Which prefix a row's message carries. Default takes the prefix of the code's range:
// "Error : " for -100 to -4049 (the older statements), "Error: " for -4050 and below.
enum class ErrorMark {
    Default,
    R,   // "Error : Run Time : "  errors found only while running
    R1,  // "Error : RunTime : "   one row
    X,   // "Error : Exit : "      EXIT
    P,   // "Error : Phase 2 : "   the DESCRIPTION rule
    L,   // "Linker Error: "       phase 3
    RE,  // "RunTime Error: "      engine arithmetic and ASKFORFILE
    N,   // no prefix: the message is the name alone
};

struct ScriptErrorRow {
    int32_t code;
    std::string_view name;
    ErrorMark mark;
};

inline constexpr size_t kScriptErrorRowCount = 839;

// Every row in table order; the first is (0, "Ok. No Error Present"), the other 838 have
// negative codes. -260 is listed twice with the same name; lookups take the first.
std::span<const ScriptErrorRow> scriptErrorTable();

// The first row with that code, or null.
const ScriptErrorRow* findScriptError(int32_t code);

// The prefix of the row's message by its mark and code range; empty for mark N and for the
// (0, "Ok. No Error Present") row, whose name is its whole message.
std::string_view errorPrefix(const ScriptErrorRow& row);

// The row's message: prefix + name.
std::string errorMessage(const ScriptErrorRow& row);

// One error line for the trail file. Code 0: "*** No Error Condition Exists ***". A code of
// the table: "Error In <file> @ Line <line> : <message>". Any other code:
// "*** Unknown Error Condition Detected : <file> <code> @ <line> ***". An empty file name
// (a file id without a file) reads "Unknown".
std::string FormatError(int32_t code, std::string_view fileName, int line);

}  // namespace vexal::script
