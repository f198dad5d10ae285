// PRINT, PRINTBUFFER, PRINTCDB and PENCOLOR: formatted output to the log view, the session
// log, a buffer or a FILE. The printed forms come from a fixed table of conversions chosen
// here by value type; no format text of a script ever reaches a printf-style formatter.
#include <fmt/printf.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "script/buffer_text.h"
#include "script/number_literals.h"
#include "script/script_error_codes.h"
#include "script/script_text.h"
#include "script/script_values.h"
#include "script/statement_handlers.h"

namespace vexal::script {
namespace {

constexpr int kWriteText = 1;  // FILE mode bits: write, not binary

enum class Destination { Screen, Log, Both, Buffer, File };

bool printDestination(std::string_view word, Destination& d) {
    if (equalsUpper(word, "SCREEN")) d = Destination::Screen;
    else if (equalsUpper(word, "LOG")) d = Destination::Log;
    else if (equalsUpper(word, "BOTH")) d = Destination::Both;
    else return false;
    return true;
}

bool codeIn(std::string_view word, std::initializer_list<int> codes) {
    const int code = ClassifyNumber(word);
    for (int c : codes)
        if (c == code) return true;
    return false;
}

// SCREEN, LOG or BOTH: one line as MSG and LOG write it.
void sendLine(StatementContext& ctx, Destination d, const std::string& text) {
    command::CommandOutput* out = ctx.engine.output();
    if (!out) return;
    if (d == Destination::Screen || d == Destination::Both) out->addToView(std::string(kScriptMessagePrefix) + text);
    if (d == Destination::Log || d == Destination::Both) out->writeLog(4, text);
}

// A PRINT value: a variable, a buffer or a number literal, with its type.
struct Value {
    enum Kind { Byte, Word, Long, Double, Buffer } kind = Byte;
    uint32_t integer = 0;
    double real = 0;
    std::string text;
};

bool valueOf(StatementContext& ctx, std::string_view word, Value& v) {
    if (const ScriptVariable* var = ctx.variable(word)) {
        static constexpr Value::Kind kKinds[] = {Value::Byte, Value::Word, Value::Long, Value::Double};
        v.kind = kKinds[static_cast<int>(var->type)];
        v.integer = integerValue(*var);
        v.real = var->doubleSlot;
        return true;
    }
    if (const ScriptBuffer* buffer = ctx.buffer(word)) {
        v.kind = Value::Buffer;
        v.text = readText(*buffer);
        return true;
    }
    switch (ClassifyNumber(word)) {
        case kNumberByte: v.kind = Value::Byte; v.integer = ParseWordValue(word) & 0xFF; return true;
        case kNumberWord: v.kind = Value::Word; v.integer = ParseWordValue(word); return true;
        case kNumberLong: v.kind = Value::Long; v.integer = ParseLong(word); return true;
        case kNumberDouble: v.kind = Value::Double; v.real = std::strtod(std::string(word).c_str(), nullptr); return true;
        default: return false;
    }
}

// The value as a floating number: integers converted, a LONG as signed 32 bits (as %d shows it).
double asReal(const Value& v) {
    if (v.kind == Value::Double) return v.real;
    if (v.kind == Value::Long) return static_cast<int32_t>(v.integer);
    return v.integer;
}

// A floating value truncated toward zero, cut to 32 bits (0 when out of any range).
uint32_t truncated(double d) {
    if (!(d > -9.2e18 && d < 9.2e18)) return 0;
    return static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(d)));
}

// The printed form of one conversion; buffers reach only %s (checked before).
std::string render(char conversion, const Value& v) {
    const bool real = v.kind == Value::Double;
    switch (conversion) {
        case 'c': return std::string(1, static_cast<char>(real ? truncated(v.real) : v.integer));
        case 'd':
            if (real) return fmt::sprintf("%.0f", std::trunc(v.real));
            if (v.kind == Value::Long) return fmt::sprintf("%d", static_cast<int32_t>(v.integer));
            return fmt::sprintf("%d", v.integer);
        case 'x':
            if (v.kind == Value::Byte) return fmt::sprintf("%02X", v.integer);
            if (v.kind == Value::Word) return fmt::sprintf("%04X", v.integer);
            return fmt::sprintf("%08X", real ? truncated(v.real) : v.integer);
        case 'f': return fmt::sprintf("%.3f", asReal(v));
        case 'e': return fmt::sprintf("%E", asReal(v));
        case 'g': return fmt::sprintf("%G", asReal(v));
        case 's':
            if (v.kind == Value::Buffer) return v.text;
            return real ? fmt::sprintf("%G", v.real) : render('d', v);
    }
    return {};
}

// 'format' values...: checks the format and its values; with `out`, also produces the
// text. `lineEnd` is what \n gives.
int formatText(StatementContext& ctx, std::string_view rest, std::string_view lineEnd, std::string* out) {
    if (rest.empty() || rest.front() != '\'') return ctx.fail(err::PRINT_INVALID_FORMAT_STR_SPECIFIER);
    size_t close = 1;
    while (close < rest.size() && !(rest[close] == '\'' && rest[close - 1] != '\\')) ++close;
    if (close >= rest.size()) return ctx.fail(err::PRINT_INVALID_FORMAT_STR_SPECIFIER);
    const std::string_view format = trimBlanks(rest.substr(1, close - 1));
    WordReader values(rest.substr(close + 1));
    std::string text;
    for (size_t i = 0; i < format.size(); ++i) {
        const char ch = format[i];
        if (ch == '\\') {
            if (i + 1 >= format.size()) return ctx.fail(err::PRINT_BACKSLASH_ERROR);
            switch (format[++i]) {
                case '\'': text.push_back('\''); break;
                case '\\': text.push_back('\\'); break;
                case 't': case 'T': text.push_back('\t'); break;
                case 'n': case 'N': text.append(lineEnd); break;
                default: return ctx.fail(err::PRINT_BACKSLASH_SPECIFIER_ERROR);
            }
        } else if (ch == '%') {
            const char conversion = i + 1 < format.size() ? static_cast<char>(std::tolower(static_cast<unsigned char>(format[++i]))) : '\0';
            if (conversion == '\0' || std::string_view("cdxfegs").find(conversion) == std::string_view::npos)
                return ctx.fail(err::PRINT_UNKNOWN_FORMAT_SPECIFIER_DETECTED);
            const std::string_view word = values.next();
            if (word.empty()) return ctx.fail(err::PRINT_FORMAT_SPECIFIED_WITHOUT_VALUE_FIELD);
            Value v;
            if (!valueOf(ctx, word, v)) return ctx.fail(err::PRINT_UNKNOWN_VALUE_FIELD);
            if (v.kind == Value::Buffer && conversion != 's') return ctx.fail(err::PRINT_STR_SPECIFIED_ARG_ISNT_A_BUFFER);
            text += render(conversion, v);
        } else {
            text.push_back(ch);
        }
    }
    if (out) *out = std::move(text);
    return 0;
}

// An offset or a PRINTBUFFER limit: a literal of code 1, 2 or 4 or an integer variable
// (a DOUBLE truncated where allowed).
uint32_t indexValue(StatementContext& ctx, std::string_view word) {
    if (const ScriptVariable* v = ctx.variable(word)) return integerValue(*v);
    uint32_t value = 0;
    literalValue(word, value);
    return value;
}

// Optional SCREEN / LOG / BOTH, then the rest.
std::string_view skipDestination(std::string_view args, Destination& d) {
    d = Destination::Screen;
    const std::string_view first = firstWord(args);
    return printDestination(first, d) ? afterFirstWord(args) : trimBlanks(args);
}

}  // namespace

int stmtPrint(StatementContext& ctx) {
    std::string_view rest = trimBlanks(ctx.args);
    const std::string_view first = firstWord(rest);
    Destination d = Destination::Screen;
    ScriptBuffer* buffer = nullptr;
    FileEntry* file = nullptr;
    std::string_view offsetWord;
    if (printDestination(first, d)) {
        rest = afterFirstWord(rest);
    } else if (equalsUpper(first, "BUFFER")) {
        d = Destination::Buffer;
        rest = afterFirstWord(rest);
        buffer = ctx.buffer(firstWord(rest));
        if (!buffer) return ctx.fail(err::PRINT_INVALID_DEST_BUFFER_SPECIFIED);
        rest = afterFirstWord(rest);
        if (!rest.empty() && rest.front() == '[') {
            const size_t close = rest.find(']');
            if (close == std::string_view::npos) return ctx.fail(err::PRINT_MISSING_END_OFFSET_BRACKET);
            offsetWord = trimBlanks(rest.substr(1, close - 1));
            if (!ctx.variable(offsetWord) && !codeIn(offsetWord, {kNumberByte, kNumberWord, kNumberLong}))
                return ctx.fail(err::PRINT_UNKNOWN_BUFFER_INDEX_SPECIFIED);
            rest = trimBlanks(rest.substr(close + 1));
        }
    } else if (equalsUpper(first, "FILE")) {
        d = Destination::File;
        rest = afterFirstWord(rest);
        file = ctx.tables().files.find(firstWord(rest));
        if (!file) return ctx.fail(err::K_PRINT_TO_FILE_INVALID_DEST_FILE_SPECIFIED);
        rest = afterFirstWord(rest);
    }
    if (!ctx.executing()) return formatText(ctx, rest, "\r\n", nullptr);

    std::string text;
    if (formatText(ctx, rest, d == Destination::File ? "\n" : "\r\n", &text)) return 1;
    switch (d) {
        case Destination::Buffer: {
            const uint64_t offset = offsetWord.empty() ? 0 : indexValue(ctx, offsetWord);
            if (offset + text.size() + 1 > buffer->size()) return ctx.fail(err::PRINT_OUTPUT_STR_EXCEEDS_BUFFER_SIZE);
            std::copy(text.begin(), text.end(), buffer->storage.begin() + static_cast<std::ptrdiff_t>(offset));
            buffer->storage[offset + text.size()] = 0;
            buffer->primed = true;
            return 0;
        }
        case Destination::File: {
            if (!file) return ctx.fail(err::K_PRINT_TO_FILE_INVALID_FILE_SPECIFIED);
            if (file->mode < 0 || !file->stream) return ctx.fail(err::K_PRINT_TO_FILE_THAT_ISNT_OPEN);
            if ((file->mode & 3) != kWriteText) return ctx.fail(err::K_PRINT_TO_FILE_INVALID_MODE_DETECTED);
            std::fwrite(text.data(), 1, text.size(), file->stream.get());
            std::fflush(file->stream.get());  // what a script wrote survives a run that ends badly
            return 0;
        }
        default: sendLine(ctx, d, text); return 0;
    }
}

int stmtPrintBuffer(StatementContext& ctx) {
    Destination d;
    WordReader words(skipDestination(ctx.args, d));
    const ScriptBuffer* buffer = ctx.buffer(words.next());
    if (!buffer) return ctx.fail(err::PRINTBUFFER_INVALID_BUFFER_SPECIFIED);
    const std::string_view startWord = words.next(), endWord = words.next();
    auto valid = [&](std::string_view w) {
        if (w.empty() || codeIn(w, {kNumberByte, kNumberWord, kNumberLong})) return true;
        const ScriptVariable* v = ctx.variable(w);
        return v && v->type != VarType::Double;
    };
    if (!valid(startWord)) return ctx.fail(err::PRINTBUFFER_INVALID_START_ARG);
    if (!valid(endWord)) return ctx.fail(err::PRINTBUFFER_INVALID_END_ARG);
    // Literal limits are checked now; limits held in variables when it runs.
    const bool known = ctx.executing();
    const bool startKnown = known || (!startWord.empty() && !ctx.variable(startWord));
    const bool endKnown = known || (!endWord.empty() && !ctx.variable(endWord));
    const uint32_t start = startWord.empty() ? 0 : indexValue(ctx, startWord);
    uint32_t end = endWord.empty() ? 0 : indexValue(ctx, endWord);
    if (startKnown && start >= buffer->size()) return ctx.fail(err::PRINTBUFFER_START_RANGE_ERROR);
    if (startKnown && endKnown && start != 0 && end != 0 && start >= end) return ctx.fail(err::PRINTBUFFER_START_END_RANGE_ERROR);
    if (!known) return 0;

    // An end of 0 means the whole buffer; an end past it stops at its last byte.
    if (end == 0 || end > buffer->size()) end = buffer->size();
    for (uint32_t line = start; line < end; line += 16) {
        std::string text = fmt::sprintf("%08X  ", line);
        for (uint32_t i = 0; i < 16 && line + i < end; ++i) {
            text += fmt::sprintf("%02X ", buffer->storage[line + i]);
            if (i == 3 || i == 7 || i == 11) text.push_back(' ');
        }
        sendLine(ctx, d, text);
    }
    return 0;
}

int stmtPrintCdb(StatementContext& ctx) {
    Destination d;
    const std::string_view name = trimBlanks(skipDestination(ctx.args, d));
    const ScriptCdb* cdb = ctx.tables().cdbs.find(name);
    if (!cdb) return ctx.fail(err::PRINTCDB_INVALID_CDB_SPECIFIED);
    if (!ctx.executing()) return 0;
    std::string text = fmt::sprintf("CDB %s : ", std::string(name));
    for (size_t i = 0; i < cdb->length && i < cdb->bytes.size(); ++i) text += fmt::sprintf("%02X ", cdb->bytes[i]);
    sendLine(ctx, d, text);
    return 0;
}

int stmtPenColor(StatementContext& ctx) {
    const ColorEntry* color = ctx.tables().colors.find(trimBlanks(ctx.args));
    if (!color) return ctx.fail(err::K_PENCOLOR_ILLEGAL_PENNAME_DETECTED);
    ctx.state().penColor = color->colorRef();
    return 0;
}

}  // namespace vexal::script
