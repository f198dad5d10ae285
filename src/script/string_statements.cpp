// String and conversion statements: buffers treated as text, and conversions between text,
// numbers and times. Each handler checks its arguments (buffers first, then variables) in
// both phases and acts only when the engine is executing. Every result is written as text
// bounded by its destination buffer (see buffer_text.h).
#include <algorithm>
#include <chrono>
#include <cmath>

#include "script/buffer_text.h"
#include "script/number_literals.h"
#include "script/script_error_codes.h"
#include "script/script_text.h"
#include "script/script_values.h"
#include "script/statement_arguments.h"
#include "script/statement_handlers.h"

namespace vexal::script {
namespace {

constexpr std::initializer_list<VarType> kByte{VarType::Byte};
constexpr std::initializer_list<VarType> kWord{VarType::Word};
constexpr uint16_t kNotFound = 0xFFFF;

// TIME counts from here: static initialisation, before main.
const auto kProgramStart = std::chrono::steady_clock::now();

bool isWhiteSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view withoutLeadingBlanks(std::string_view text) {
    size_t b = 0;
    while (b < text.size() && isBlankOrTab(text[b])) ++b;
    return text.substr(b);
}

// A count or position stored in a WORD: larger values are shown as the largest.
uint16_t toWord(size_t value) { return static_cast<uint16_t>(std::min<size_t>(value, 0xFFFF)); }

// A statement that rewrites one buffer's text in place.
template <typename Rewrite>
int rewriteText(StatementContext& ctx, int32_t code, Rewrite rewrite) {
    Resolved r;
    if (checkArguments(ctx, {bufferArgument(code)}, &r)) return 1;
    if (ctx.executing()) writeText(*r.buffers[0], rewrite(readText(*r.buffers[0])));
    return 0;
}

// Overlapping occurrences: each search starts one character after the previous match.
size_t countOccurrences(std::string_view text, std::string_view query) {
    if (query.empty()) return 0;
    size_t count = 0;
    for (size_t at = text.find(query); at != std::string_view::npos; at = text.find(query, at + 1)) ++count;
    return count;
}

// Replacing until no occurrence remains would never end when the replacement contains the
// find text, so nothing is replaced then. A replacement can only form a new occurrence that
// overlaps it, so the search resumes just before it, which finds the same first occurrence as
// a search from the start. The text never grows past `capacity`. A shrinking or growing
// rewrite ends within `capacity` replacements; one that keeps the length might cycle, so it is
// cut off after a bounded number more.
std::string replaceAll(std::string text, std::string_view find, std::string_view replacement, size_t capacity) {
    if (text.size() < find.size() || replacement.find(find) != std::string_view::npos) return text;
    const size_t maxReplacements = capacity + (size_t{1} << 20);
    size_t from = 0;
    for (size_t n = 0; n < maxReplacements; ++n) {
        const size_t at = text.find(find, from);
        if (at == std::string::npos) break;
        if (text.size() - find.size() + replacement.size() > capacity) break;
        text.replace(at, find.size(), replacement);
        from = at >= find.size() ? at - find.size() + 1 : 0;
    }
    return text;
}

}  // namespace

int stmtStrLen(StatementContext& ctx) {
    Resolved r;
    if (checkArguments(ctx,
                       {bufferArgument(err::STRLEN_INVALID_BUFFER_VARIABLE_SPECIFIED),
                        variableArgument(kWord, err::STRLEN_INVALID_RESULT_VARIABLE_SPECIFIED,
                                         err::STRLEN_INVALID_RESULT_VARIABLE_TYPE_SPECIFIED)},
                       &r))
        return 1;
    if (ctx.executing()) storeInteger(*r.variables[1], toWord(textLength(*r.buffers[0])));
    return 0;
}

int stmtLeftString(StatementContext& ctx) {
    Resolved r;
    if (checkArguments(ctx,
                       {bufferArgument(err::LEFTSTRING_INVALID_SOURCE_BUFFER_VARIABLE_SPECIFIED),
                        bufferArgument(err::LEFTSTRING_INVALID_DESTINATION_BUFFER_VARIABLE_SPECIFIED),
                        variableArgument(kWord, err::LEFTSTRING_INVALID_VARIABLE_SPECIFIED,
                                         err::LEFTSTRING_INVALID_VARIABLE_TYPE_SPECIFIED)},
                       &r))
        return 1;
    if (!ctx.executing()) return 0;
    const std::string source = readText(*r.buffers[0]);
    const size_t count = r.variables[2]->wordSlot;
    if (source.size() >= count) writeText(*r.buffers[1], std::string_view(source).substr(0, count));
    return 0;
}

int stmtMidString(StatementContext& ctx) {
    Resolved r;
    if (checkArguments(ctx,
                       {bufferArgument(err::MIDSTRING_INVALID_SOURCE_BUFFER_VARIABLE_SPECIFIED),
                        bufferArgument(err::MIDSTRING_INVALID_DESTINATION_BUFFER_VARIABLE_SPECIFIED),
                        variableArgument(kWord, err::MIDSTRING_INVALID_START_VARIABLE_SPECIFIED,
                                         err::MIDSTRING_INVALID_START_VARIABLE_TYPE_SPECIFIED),
                        variableArgument(kWord, err::MIDSTRING_INVALID_SWATH_VARIABLE_SPECIFIED,
                                         err::MIDSTRING_INVALID_SWATH_VARIABLE_TYPE_SPECIFIED)},
                       &r))
        return 1;
    if (!ctx.executing()) return 0;
    const std::string source = readText(*r.buffers[0]);
    const size_t count = r.variables[3]->wordSlot;
    if (source.size() < count) return 0;
    // Start is 1-based; 0 is taken as 1. A part past the end of the text is cut off, and a
    // start past the end gives the empty text.
    const size_t start = std::max<size_t>(r.variables[2]->wordSlot, 1) - 1;
    const std::string_view part = start < source.size() ? std::string_view(source).substr(start, count) : std::string_view();
    writeText(*r.buffers[1], part);
    return 0;
}

int stmtRightString(StatementContext& ctx) {
    Resolved r;
    if (checkArguments(ctx,
                       {bufferArgument(err::RIGHTSTRING_INVALID_SOURCE_BUFFER_VARIABLE_SPECIFIED),
                        bufferArgument(err::RIGHTSTRING_INVALID_DESTINATION_BUFFER_VARIABLE_SPECIFIED),
                        variableArgument(kWord, err::RIGHTSTRING_INVALID_SWATH_VARIABLE_SPECIFIED,
                                         err::RIGHTSTRING_INVALID_SWATH_VARIABLE_TYPE_SPECIFIED)},
                       &r))
        return 1;
    if (!ctx.executing()) return 0;
    const std::string source = readText(*r.buffers[0]);
    // A count beyond the text's length gives the whole text.
    const size_t count = std::min<size_t>(r.variables[2]->wordSlot, source.size());
    writeText(*r.buffers[1], std::string_view(source).substr(source.size() - count));
    return 0;
}

int stmtUpperCase(StatementContext& ctx) {
    return rewriteText(ctx, err::UPPERCASE_INVALID_BUFFER_VARIABLE_SPECIFIED, [](std::string text) { return upperCopy(text); });
}

int stmtWipeLeft(StatementContext& ctx) {
    return rewriteText(ctx, err::WIPELEFT_INVALID_BUFFER_VARIABLE_SPECIFIED,
                       [](const std::string& text) { return std::string(withoutLeadingBlanks(text)); });
}

int stmtWipeRight(StatementContext& ctx) {
    return rewriteText(ctx, err::WIPERIGHT_INVALID_BUFFER_VARIABLE_SPECIFIED, [](std::string text) {
        while (!text.empty() && isBlankOrTab(text.back())) text.pop_back();
        return text;
    });
}

int stmtShrink(StatementContext& ctx) {
    return rewriteText(ctx, err::SHRINK_INVALID_BUFFER_VARIABLE_SPECIFIED, [](const std::string& text) {
        std::string out;
        out.reserve(text.size());
        // Every space in `out` stands for a run, so a run continues while the last one is a space.
        for (char c : text) {
            if (!isWhiteSpace(c)) out.push_back(c);
            else if (out.empty() || out.back() != ' ') out.push_back(' ');
        }
        return out;
    });
}

int stmtRemoveComments(StatementContext& ctx) {
    return rewriteText(ctx, err::REMOVECOMMENTSE_INVALID_BUFFER_VARIABLE_SPECIFIED, [](const std::string& text) {
        return text.substr(0, std::min(text.find("//"), text.size()));
    });
}

int stmtFetch1stWord(StatementContext& ctx) {
    return rewriteText(ctx, err::FETCH1STWORD_INVALID_BUFFER_VARIABLE_SPECIFIED,
                       [](const std::string& text) { return std::string(firstWord(text)); });
}

int stmtClear1stWord(StatementContext& ctx) {
    return rewriteText(ctx, err::CLEAR1STWORD_INVALID_BUFFER_VARIABLE_SPECIFIED,
                       [](const std::string& text) { return std::string(afterFirstWord(text)); });
}

int stmtStore1stWord(StatementContext& ctx) {
    Resolved r;
    if (checkArguments(ctx,
                       {bufferArgument(err::STORE1STWORD_INVALID_SOURCE_BUFFER_VARIABLE_SPECIFIED),
                        bufferArgument(err::STORE1STWORD_INVALID_DESTINATION_BUFFER_VARIABLE_SPECIFIED)},
                       &r))
        return 1;
    if (!ctx.executing()) return 0;
    // The source loses its leading blanks in place.
    const std::string source(withoutLeadingBlanks(readText(*r.buffers[0])));
    writeText(*r.buffers[0], source);
    writeText(*r.buffers[1], firstWord(source));
    return 0;
}

int stmtStringC(StatementContext& ctx) {
    Resolved r;
    if (checkArguments(ctx,
                       {bufferArgument(err::STRINGC_INVALID_AGAINST_BUFFER_VARIABLE_SPECIFIED),
                        bufferArgument(err::STRINGC_INVALID_QUERY_BUFFER_VARIABLE_SPECIFIED),
                        variableArgument(kWord, err::STRINGC_INVALID_START_VARIABLE_SPECIFIED,
                                         err::STRINGC_INVALID_START_VARIABLE_TYPE_SPECIFIED),
                        variableArgument(kWord, err::STRINGC_INVALID_INDEX_VARIABLE_SPECIFIED,
                                         err::STRINGC_INVALID_INDEX_VARIABLE_TYPE_SPECIFIED)},
                       &r))
        return 1;
    if (!ctx.executing()) return 0;
    const std::string against = readText(*r.buffers[0]), query = readText(*r.buffers[1]);
    const size_t start = r.variables[2]->wordSlot;
    size_t at = std::string::npos;
    if (!query.empty() && start < against.size() && query.size() <= against.size()) at = against.find(query, start);
    storeInteger(*r.variables[3], at == std::string::npos ? kNotFound : toWord(at));
    return 0;
}

int stmtStringAbsC(StatementContext& ctx) {
    Resolved r;
    if (checkArguments(ctx,
                       {bufferArgument(err::STRINGABSC_INVALID_AGAINST_BUFFER_VARIABLE_SPECIFIED),
                        bufferArgument(err::STRINGABSC_INVALID_QUERY_BUFFER_VARIABLE_SPECIFIED),
                        variableArgument(kByte, err::STRINGABSC_INVALID_RESULT_VARIABLE_SPECIFIED,
                                         err::STRINGABSC_INVALID_RESULT_VARIABLE_TYPE_SPECIFIED)},
                       &r))
        return 1;
    if (ctx.executing()) storeInteger(*r.variables[2], readText(*r.buffers[0]) == readText(*r.buffers[1]) ? 0 : 0xFF);
    return 0;
}

int stmtOccurance(StatementContext& ctx) {
    Resolved r;
    if (checkArguments(ctx,
                       {bufferArgument(err::OCCURANCE_INVALID_AGAINST_BUFFER_VARIABLE_SPECIFIED),
                        bufferArgument(err::OCCURANCE_INVALID_QUERY_BUFFER_VARIABLE_SPECIFIED),
                        variableArgument(kWord, err::OCCURANCE_INVALID_COUNT_VARIABLE_SPECIFIED,
                                         err::OCCUANCE_INVALID_COUNT_TYPE_SPECIFIED)},
                       &r))
        return 1;
    if (ctx.executing())
        storeInteger(*r.variables[2], toWord(countOccurrences(readText(*r.buffers[0]), readText(*r.buffers[1]))));
    return 0;
}

int stmtRipReplace(StatementContext& ctx) {
    // find and replace: both buffers (texts), or both BYTE variables (characters).
    WordReader words(ctx.args);
    struct Operand {
        ScriptBuffer* buffer = nullptr;
        ScriptVariable* character = nullptr;
    };
    auto operand = [&](std::string_view word, int32_t unknown, int32_t type, Operand& o) {
        if ((o.buffer = ctx.buffer(word))) return 0;
        if (ctx.needVariable(word, kByte, unknown, type)) return 1;
        o.character = ctx.variable(word);
        return 0;
    };
    Operand find, replace;
    if (operand(words.next(), err::RIPREPLACE_INVALID_FIND_VARIABLE_SPECIFIED, err::RIPREPLACE_INVALID_FIND_VARIABLE_TYPE_SPECIFIED, find))
        return 1;
    if (operand(words.next(), err::RIPREPLACE_INVALID_REPLACE_VARIABLE_SPECIFIED,
                err::RIPREPLACE_INVALID_REPLACE_VARIABLE_TYPE_SPECIFIED, replace))
        return 1;
    if ((find.buffer == nullptr) != (replace.buffer == nullptr)) return ctx.fail(err::RIPREPLACE_MIXING_ARGUMENTS_ERROR);
    ScriptBuffer* target = ctx.buffer(words.next());
    if (!target) return ctx.fail(err::RIPREPLACE_INVALID_STRING_BUFFER_VARIABLE_SPECIFIED);
    if (!ctx.executing()) return 0;

    std::string text = readText(*target);
    if (find.buffer) {
        text = replaceAll(std::move(text), readText(*find.buffer), readText(*replace.buffer), target->storage.size());
    } else {
        std::replace(text.begin(), text.end(), static_cast<char>(find.character->byteSlot),
                     static_cast<char>(replace.character->byteSlot));
    }
    writeText(*target, text);
    return 0;
}

int stmtDetermineNumberType(StatementContext& ctx) {
    Resolved r;
    if (checkArguments(ctx,
                       {bufferArgument(err::DETERMINENUMBERTYPE_INVALID_BUFFER_VARIABLE_SPECIFIED),
                        variableArgument(kByte, err::DETERMINENUMBERTYPE_INVALID_VARIABLE_SPECIFIED,
                                         err::DETERMINENUMBERTYPE_INVALID_VARIABLE_TYPE_SPECIFIED)},
                       &r))
        return 1;
    // The negative codes land in the byte as FFh, FEh and FDh.
    if (ctx.executing())
        storeInteger(*r.variables[1], static_cast<uint8_t>(static_cast<int8_t>(ClassifyNumber(readText(*r.buffers[0])))));
    return 0;
}

int stmtAton(StatementContext& ctx) {
    Resolved r;
    if (checkArguments(ctx,
                       {bufferArgument(err::ATON_INVALID_BUFFER_VARIABLE_SPECIFIED),
                        variableArgument({VarType::Byte, VarType::Word}, err::ATON_INVALID_RESULT_VARIABLE_SPECIFIED,
                                         err::ATON_INVALID_RESULT_VARIABLE_TYPE_SPECIFIED)},
                       &r))
        return 1;
    if (!ctx.executing()) return 0;
    // The buffer keeps the normalised text the parse leaves behind.
    std::string text = readText(*r.buffers[0]);
    const uint16_t value = ParseWord(text);
    writeText(*r.buffers[0], text);
    storeInteger(*r.variables[1], value);
    return 0;
}

int stmtAtoln(StatementContext& ctx) {
    Resolved r;
    if (checkArguments(ctx,
                       {bufferArgument(err::ATOLN_INVALID_BUFFER_VARIABLE_SPECIFIED),
                        variableArgument({VarType::Long}, err::ATOLN_INVALID_RESULT_VARIABLE_SPECIFIED,
                                         err::ATOLN_INVALID_RESULT_VARIABLE_TYPE_SPECIFIED)},
                       &r))
        return 1;
    if (ctx.executing()) storeInteger(*r.variables[1], ParseLong(readText(*r.buffers[0])));
    return 0;
}

int stmtBigIndian(StatementContext& ctx) {
    // Recognised, but refused in every form.
    return ctx.variable(trimBlanks(ctx.args)) ? ctx.fail(err::BIG_INDIAN_INVALID_VARIABLE_TYPE_SPECIFIED)
                                              : ctx.fail(err::BIG_INDIAN_INVALID_VARIABLE_SPECIFIED);
}

int stmtTime(StatementContext& ctx) {
    Resolved r;
    if (checkArguments(ctx,
                       {variableArgument({VarType::Double}, err::TIME_INVALID_VARIABLE_SPECIFIED,
                                         err::TIME_INVALID_VARIABLE_TYPE_SPECIFIED)},
                       &r))
        return 1;
    if (ctx.executing()) {
        const auto elapsed = std::chrono::steady_clock::now() - kProgramStart;
        storeDouble(*r.variables[0], double(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()) * 0.001);
    }
    return 0;
}

int stmtFormatTime(StatementContext& ctx) {
    Resolved r;
    if (checkArguments(ctx,
                       {variableArgument({VarType::Double}, err::FORMATTIME_INVALID_TIME_VARIABLE_SPECIFIED,
                                         err::FORMATTIME_INVALID_TIME_VARIABLE_TYPE_SPECIFIED),
                        variableArgument(kWord, err::FORMATTIME_INVALID_HOURS_VARIABLE_SPECIFIED,
                                         err::FORMATTIME_INVALID_HOURS_VARIABLE_TYPE_SPECIFIED),
                        variableArgument(kByte, err::FORMATTIME_INVALID_MINUTES_VARIABLE_SPECIFIED,
                                         err::FORMATTIME_INVALID_MINUTES_VARIABLE_TYPE_SPECIFIED),
                        variableArgument({VarType::Double}, err::FORMATTIME_INVALID_SECONDS_VARIABLE_SPECIFIED,
                                         err::FORMATTIME_INVALID_SECONDS_VARIABLE_TYPE_SPECIFIED)},
                       &r))
        return 1;
    if (!ctx.executing()) return 0;
    const double t = r.variables[0]->doubleSlot;
    const double hours = std::trunc(t / 3600);
    const double rest = t - hours * 3600;
    const double minutes = std::trunc(rest / 60);
    storeDouble(*r.variables[1], hours);
    storeDouble(*r.variables[2], minutes);
    storeDouble(*r.variables[3], rest - minutes * 60);
    return 0;
}

}  // namespace vexal::script
