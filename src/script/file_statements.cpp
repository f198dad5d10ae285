// Files, PRINT and questions to the operator: argument checks.
#include <vector>

#include "script/number_literals.h"
#include "script/script_error_codes.h"
#include "script/script_text.h"
#include "script/statement_handlers.h"

namespace vexal::script {
namespace {

constexpr std::initializer_list<VarType> kIntegers{VarType::Byte, VarType::Word, VarType::Long};

bool isFile(StatementContext& ctx, std::string_view tag) { return ctx.tables().files.find(tag) != nullptr; }

bool codeIn(std::string_view word, std::initializer_list<int> codes) {
    const int code = ClassifyNumber(word);
    for (int c : codes)
        if (c == code) return true;
    return false;
}

// The text of a buffer: up to its first zero byte, never past its end.
size_t textLength(const ScriptBuffer& buffer) {
    size_t n = 0;
    while (n < buffer.storage.size() && buffer.storage[n] != 0) ++n;
    return n;
}

struct TransferCodes {
    int32_t split, count, file, buffer, tooLarge, unrecognizable, limitType, readCount, readCountType;
};

// tag buffer count [readCount]: FREAD, FWRITE and FGETS.
int checkTransfer(StatementContext& ctx, const TransferCodes& c, size_t wordCount, std::initializer_list<int> literalCodes,
                  std::initializer_list<VarType> limitTypes, std::initializer_list<VarType> readCountTypes) {
    std::vector<std::string> w;
    if (!splitQuotedWords(ctx.args, w)) return ctx.fail(c.split);
    if (w.size() != wordCount) return ctx.fail(c.count);
    if (!isFile(ctx, w[0])) return ctx.fail(c.file);
    const ScriptBuffer* buffer = ctx.buffer(w[1]);
    if (!buffer) return ctx.fail(c.buffer);
    if (const ScriptVariable* v = ctx.variable(w[2])) {
        bool ok = false;
        for (VarType t : limitTypes) ok = ok || v->type == t;
        if (!ok) return ctx.fail(c.limitType);
    } else if (codeIn(w[2], literalCodes)) {
        if ((ParseLong(w[2]) & 0xFFFF) > buffer->size()) return ctx.fail(c.tooLarge);
    } else {
        return ctx.fail(c.unrecognizable);
    }
    if (wordCount == 4) return ctx.needVariable(w[3], readCountTypes, c.readCount, c.readCountType);
    return 0;
}

enum class Destination { Screen, Log, Both, Buffer, File };

bool printDestination(std::string_view word, Destination& d) {
    if (equalsUpper(word, "SCREEN")) d = Destination::Screen;
    else if (equalsUpper(word, "LOG")) d = Destination::Log;
    else if (equalsUpper(word, "BOTH")) d = Destination::Both;
    else return false;
    return true;
}

// A value word of PRINT: a variable, then a buffer, then a number literal.
int checkPrintValue(StatementContext& ctx, char conversion, std::string_view word) {
    if (ctx.variable(word)) return 0;
    if (ctx.buffer(word)) return conversion == 's' ? 0 : ctx.fail(err::PRINT_STR_SPECIFIED_ARG_ISNT_A_BUFFER);
    return IsNumberLiteral(word) ? 0 : ctx.fail(err::PRINT_UNKNOWN_VALUE_FIELD);
}

// 'format' values...
int checkFormat(StatementContext& ctx, std::string_view rest) {
    if (rest.empty() || rest.front() != '\'') return ctx.fail(err::PRINT_INVALID_FORMAT_STR_SPECIFIER);
    size_t close = 1;
    while (close < rest.size() && !(rest[close] == '\'' && rest[close - 1] != '\\')) ++close;
    if (close >= rest.size()) return ctx.fail(err::PRINT_INVALID_FORMAT_STR_SPECIFIER);
    const std::string_view format = rest.substr(1, close - 1);
    WordReader values(rest.substr(close + 1));
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '\\') {
            if (i + 1 >= format.size()) return ctx.fail(err::PRINT_BACKSLASH_ERROR);
            const char e = format[++i];
            if (e != '\'' && e != '\\' && e != 't' && e != 'T' && e != 'n' && e != 'N')
                return ctx.fail(err::PRINT_BACKSLASH_SPECIFIER_ERROR);
        } else if (format[i] == '%') {
            const char conversion = i + 1 < format.size() ? static_cast<char>(std::tolower(static_cast<unsigned char>(format[++i]))) : '\0';
            if (std::string_view("cdxfegs").find(conversion) == std::string_view::npos || conversion == '\0')
                return ctx.fail(err::PRINT_UNKNOWN_FORMAT_SPECIFIER_DETECTED);
            const std::string_view value = values.next();
            if (value.empty()) return ctx.fail(err::PRINT_FORMAT_SPECIFIED_WITHOUT_VALUE_FIELD);
            if (checkPrintValue(ctx, conversion, value)) return 1;
        }
    }
    return 0;
}

// Optional SCREEN / LOG / BOTH, then the rest.
std::string_view skipDestination(std::string_view args) {
    Destination d;
    const std::string_view first = firstWord(args);
    return printDestination(first, d) ? afterFirstWord(args) : trimBlanks(args);
}

bool isTrigger(std::string_view w, std::string_view a, std::string_view b) { return equalsUpper(w, a) || equalsUpper(w, b); }

}  // namespace

int stmtOpenFile(StatementContext& ctx) {
    std::string text(ctx.args);
    blankOut(text, "\"");
    std::vector<std::string_view> w = splitWords(text);
    if (w.empty() || !isFile(ctx, w[0])) return ctx.fail(err::K_OPENFILE_INVALID_FILE_TAG_SPECIFIED);
    if (w.size() < 2 || ctx.needVariable(w.back(), {VarType::Long}, err::K_OPENFILE_INVALID_RESULT_ARG,
                                         err::K_OPENFILE_INVALID_RESULT_ARG))
        return w.size() < 2 ? ctx.fail(err::K_OPENFILE_INVALID_RESULT_ARG) : 1;
    // Mode words from the right; the first other word ends them.
    size_t end = w.size() - 1;
    bool write = false;
    while (end > 1) {
        const std::string_view m = w[end - 1];
        if (equalsUpper(m, "WRITE")) write = true;
        else if (!equalsUpper(m, "READ") && !equalsUpper(m, "APPEND") && !equalsUpper(m, "TEXT") && !equalsUpper(m, "BINARY"))
            break;
        --end;
    }
    if (end <= 1) return ctx.fail(err::K_OPENFILE_MODE_SPECIFICATION_ERROR);
    const std::string_view name = w[1];
    if (const ScriptBuffer* buffer = ctx.buffer(name))
        return textLength(*buffer) > 256 ? ctx.fail(err::K_OPENFILE_FILENAME_IN_BUFFER_TOO_LONG) : 0;
    if (!write) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(ctx.engine.statementFile(name), ec))
            return ctx.fail(err::K_OPENFILE_FILE_SPECIFIED_NOT_PRESENT);
    }
    return 0;
}

int stmtCloseFile(StatementContext& ctx) {
    return isFile(ctx, trimBlanks(ctx.args)) ? 0 : ctx.fail(err::K_CLOSEFILE_INVALID_FILE_TAG_SPECIFIED);
}

int stmtFRead(StatementContext& ctx) {
    return checkTransfer(ctx,
                         {err::K_FREAD_PARSING_ERROR, err::K_FREAD_ILLEGAL_NUMBER_OF_ARGS_DETECTED, err::K_FREAD_INVALID_FILE_SPECIFIED,
                          err::K_FREAD_INVALID_BUFFER_SPECIFIED, err::K_FREAD_LIMIT_EXCEEDS_BUFFER_SIZE,
                          err::K_FREAD_UNRECOGNIZABLE_LIMIT_ARG, err::K_FREAD_ILLEGAL_LIMIT_VARIABLE_TYPE_SPECIFIED,
                          err::K_FREAD_INVALID_RD_OK_VARIABLE_SPECIFIED, err::K_FREAD_ILLEGAL_RD_OK_VARIABLE_TYPE_SPECIFIED},
                         4, {kNumberByte, kNumberWord, kNumberLong}, kIntegers, kIntegers);
}

int stmtFWrite(StatementContext& ctx) {
    return checkTransfer(ctx,
                         {err::K_FWRITE_PARSING_ERROR, err::K_FWRITE_LINE_ILLEGAL_NUMBER_OF_ARGS_DETECTED,
                          err::K_FWRITE_INVALID_FILE_SPECIFIED, err::K_FWRITE_INVALID_BUFFER_SPECIFIED,
                          err::K_FWRITE_LIMIT_EXCEEDS_BUFFER_SIZE, err::K_FWRITE_UNRECOGNIZABLE_LIMIT_ARG,
                          err::K_FWRITE_ILLEGAL_LIMIT_VARIABLE_TYPE_SPECIFIED, 0, 0},
                         3, {kNumberByte, kNumberWord, kNumberLong}, kIntegers, {});
}

int stmtFGets(StatementContext& ctx) {
    return checkTransfer(ctx,
                         {err::K_FGETS_PARSING_ERROR, err::K_FGETS_ILLEGAL_NUMBER_OF_ARGS_DETECTED, err::K_FGETS_INVALID_FILE_SPECIFIED,
                          err::K_FGETS_INVALID_BUFFER_SPECIFIED, err::K_FGETS_LIMIT_EXCEEDS_BUFFER_SIZE,
                          err::K_FGETS_UNRECOGNIZABLE_LIMIT_ARG, err::K_FGETS_ILLEGAL_LIMIT_VARIABLE_TYPE_SPECIFIED,
                          err::K_FGETS_INVALID_RD_OK_VARIABLE_SPECIFIED, err::K_FGETS_ILLEGAL_RD_OK_VARIABLE_TYPE_SPECIFIED},
                         4, {kNumberByte, kNumberWord}, {VarType::Byte, VarType::Word}, {VarType::Word});
}

int stmtFSeek(StatementContext& ctx) {
    std::vector<std::string> w;
    if (!splitQuotedWords(ctx.args, w)) return ctx.fail(err::K_FSEEK_PARSING_ERROR);
    if (w.size() != 3) return ctx.fail(err::K_FSEEK_ILLEGAL_NUMBER_OF_ARGS_DETECTED);
    if (!isFile(ctx, w[0])) return ctx.fail(err::K_FSEEK_INVALID_FILE_SPECIFIED);
    if (ctx.variable(w[1])) {
        if (ctx.needVariable(w[1], kIntegers, 0, err::K_FSEEK_ILLEGAL_WHERE_VARIABLE_TYPE_SPECIFIED)) return 1;
    } else if (!codeIn(w[1], {kNumberByte, kNumberWord, kNumberLong})) {
        return ctx.fail(err::K_FSEEK_UNRECOGNIZABLE_WHERE_ARG);
    }
    const std::string& origin = w[2];
    if (!equalsUpper(origin, "SEEK_SET") && !equalsUpper(origin, "SEEK_CUR") && !equalsUpper(origin, "SEEK_END"))
        return ctx.fail(err::K_SEEK_ILLEGAL_FROM_PHRASE_SPECIFIED);
    return 0;
}

int stmtPrint(StatementContext& ctx) {
    std::string_view rest = trimBlanks(ctx.args);
    const std::string_view first = firstWord(rest);
    Destination d = Destination::Screen;
    if (printDestination(first, d)) {
        rest = afterFirstWord(rest);
    } else if (equalsUpper(first, "BUFFER")) {
        rest = afterFirstWord(rest);
        if (!ctx.buffer(firstWord(rest))) return ctx.fail(err::PRINT_INVALID_DEST_BUFFER_SPECIFIED);
        rest = afterFirstWord(rest);
        if (!rest.empty() && rest.front() == '[') {
            const size_t close = rest.find(']');
            if (close == std::string_view::npos) return ctx.fail(err::PRINT_MISSING_END_OFFSET_BRACKET);
            const std::string_view offset = trimBlanks(rest.substr(1, close - 1));
            if (!ctx.variable(offset) && !codeIn(offset, {kNumberByte, kNumberWord, kNumberLong}))
                return ctx.fail(err::PRINT_UNKNOWN_BUFFER_INDEX_SPECIFIED);
            rest = trimBlanks(rest.substr(close + 1));
        }
    } else if (equalsUpper(first, "FILE")) {
        rest = afterFirstWord(rest);
        if (!isFile(ctx, firstWord(rest))) return ctx.fail(err::K_PRINT_TO_FILE_INVALID_DEST_FILE_SPECIFIED);
        rest = afterFirstWord(rest);
    }
    return checkFormat(ctx, rest);
}

int stmtPrintBuffer(StatementContext& ctx) {
    WordReader words(skipDestination(ctx.args));
    const ScriptBuffer* buffer = ctx.buffer(words.next());
    if (!buffer) return ctx.fail(err::PRINTBUFFER_INVALID_BUFFER_SPECIFIED);
    const std::string_view start = words.next(), end = words.next();
    auto valid = [&](std::string_view w) {
        if (w.empty() || codeIn(w, {kNumberByte, kNumberWord, kNumberLong})) return true;
        const ScriptVariable* v = ctx.variable(w);
        return v && v->type != VarType::Double;
    };
    if (!valid(start)) return ctx.fail(err::PRINTBUFFER_INVALID_START_ARG);
    if (!valid(end)) return ctx.fail(err::PRINTBUFFER_INVALID_END_ARG);
    // Literal limits are checked now; limits held in variables when it runs.
    const bool literalStart = !start.empty() && !ctx.variable(start);
    const bool literalEnd = !end.empty() && !ctx.variable(end);
    const uint32_t s = literalStart ? ParseLong(start) : 0, e = literalEnd ? ParseLong(end) : 0;
    if (literalStart && s >= buffer->size()) return ctx.fail(err::PRINTBUFFER_START_RANGE_ERROR);
    if (literalStart && literalEnd && s != 0 && e != 0 && s >= e) return ctx.fail(err::PRINTBUFFER_START_END_RANGE_ERROR);
    return 0;
}

int stmtPrintCdb(StatementContext& ctx) {
    return ctx.tables().cdbs.find(trimBlanks(skipDestination(ctx.args))) ? 0 : ctx.fail(err::PRINTCDB_INVALID_CDB_SPECIFIED);
}

int stmtPenColor(StatementContext& ctx) {
    const ColorEntry* color = ctx.tables().colors.find(trimBlanks(ctx.args));
    if (!color) return ctx.fail(err::K_PENCOLOR_ILLEGAL_PENNAME_DETECTED);
    ctx.state().penColor = color->colorRef();
    return 0;
}

int stmtAsk(StatementContext& ctx) {
    const auto w = splitWords(ctx.args);
    if (w.empty()) return ctx.fail(err::ASK_NO_QUESTION_SPECIFIED);
    if (!ctx.isSymbol(w.back())) return ctx.fail(err::ASK_INVALID_VECTOR_SPECIFIED);
    if (w.size() < 2 || !isTrigger(w[w.size() - 2], "ONYES", "ONNO")) return ctx.fail(err::ASK_NO_VECTOR_DETECTED);
    return w.size() < 3 ? ctx.fail(err::ASK_NO_QUESTION_SPECIFIED) : 0;
}

int stmtAskForText(StatementContext& ctx) {
    const auto w = splitWords(ctx.args);
    if (w.size() < 5) return ctx.fail(err::ASK4TEXT_INVALID_NUMBER_OF_ARGS);
    const size_t n = w.size();
    if (!ctx.isSymbol(w[n - 1])) return ctx.fail(err::ASK4TEXT_INVALID_SYMBOL_ARG);
    if (!isTrigger(w[n - 2], "ONOK", "ONCANCEL")) return ctx.fail(err::ASK4TEXT_INVALID_TRIGGER_ARG);
    if (ClassifyNumber(w[n - 3]) != kNumberByte) return ctx.fail(err::ASK4TEXT_INVALID_LIMIT_ARG);
    return ctx.buffer(w[n - 4]) ? 0 : ctx.fail(err::ASK4TEXT_INVALID_BUFFER_SPECIFIED);
}

int stmtAskForNumber(StatementContext& ctx) {
    const auto w = splitWords(ctx.args);
    if (w.size() < 5) return ctx.fail(err::ASK4NUMBER_INVALID_NUMBER_OF_ARGS);
    const size_t n = w.size();
    if (!ctx.isSymbol(w[n - 1])) return ctx.fail(err::ASK4NUMBER_INVALID_SYMBOL_ARG);
    if (!isTrigger(w[n - 2], "ONOK", "ONCANCEL")) return ctx.fail(err::ASK4NUMBER_INVALID_TRIGGER_ARG);
    if (!isTrigger(w[n - 3], "HEX", "DEC")) return ctx.fail(err::ASK4NUMBER_INVALID_MODE_ARG);
    return ctx.variable(w[n - 4]) ? 0 : ctx.fail(err::ASK4NUMBER_INVALID_BUFFER_SPECIFIED);
}

int stmtAskForFile(StatementContext& ctx) {
    const auto w = splitWords(ctx.args);
    if (w.size() != 3) return ctx.fail(err::ASK4FILE_INVALID_NUMBER_OF_ARGS);
    if (!ctx.buffer(w[0])) return ctx.fail(err::ASK4FILE_INVALID_BUFFER_SPECIFIED);
    if (!isTrigger(w[1], "ONOK", "ONCANCEL")) return ctx.fail(err::ASK4FILE_INVALID_TRIGGER_ARG);
    return ctx.isSymbol(w[2]) ? 0 : ctx.fail(err::ASK4FILE_INVALID_SYMBOL_ARG);
}

}  // namespace vexal::script
