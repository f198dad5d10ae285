// Buffer statements: argument checks. Literal indexes are checked against the buffer's
// size here and again when the statement runs; indexes held in variables only then.
#include "script/number_literals.h"
#include "script/script_error_codes.h"
#include "script/script_text.h"
#include "script/statement_handlers.h"

namespace vexal::script {
namespace {

struct IndexedCodes {
    int32_t bracing, buffer, missingBoth, literalRange, index, indexNotLong, missingValue, value, valueType;
};

struct IndexedForm {
    uint32_t extent = 0;                    // bytes read or written from the index on, minus one
    std::initializer_list<VarType> types;   // of the value / destination variable
    bool literalValue = true;               // a number literal may stand for the value
};

// buffer [ index ] value, for the indexed write and read statements.
int checkIndexed(StatementContext& ctx, const IndexedCodes& c, const IndexedForm& form) {
    std::string text(ctx.args);
    if (std::count(text.begin(), text.end(), '[') != 1 || std::count(text.begin(), text.end(), ']') != 1)
        return ctx.fail(c.bracing);
    blankOut(text, "[]");
    WordReader words(text);
    const ScriptBuffer* buffer = ctx.buffer(words.next());
    if (!buffer) return ctx.fail(c.buffer);
    const std::string_view index = words.next();
    if (index.empty()) return ctx.fail(c.missingBoth);
    if (LooksLikeNumber(index)) {
        const uint64_t last = uint64_t(ParseLong(index)) + form.extent;
        if (last >= buffer->size()) return ctx.fail(c.literalRange);
    } else if (ctx.needVariable(index, {VarType::Long}, c.index, c.indexNotLong)) {
        return 1;
    }
    const std::string_view value = words.next();
    if (value.empty()) return ctx.fail(c.missingValue);
    if (form.literalValue && LooksLikeNumber(value)) return 0;
    return ctx.needVariable(value, form.types, c.value, c.valueType);
}

constexpr std::initializer_list<VarType> kByte{VarType::Byte};

int indexedWrite(StatementContext& ctx, const IndexedCodes& c) { return checkIndexed(ctx, c, {0, kByte, true}); }

// A statement whose arguments are buffers and variables in a fixed order.
struct Argument {
    bool isBuffer;
    std::initializer_list<VarType> types;
    int32_t unknown, type;
};

int checkArguments(StatementContext& ctx, std::initializer_list<Argument> arguments) {
    WordReader words(ctx.args);
    for (const Argument& a : arguments) {
        const std::string_view word = words.next();
        if (a.isBuffer) {
            if (!ctx.buffer(word)) return ctx.fail(a.unknown);
        } else if (ctx.needVariable(word, a.types, a.unknown, a.type)) {
            return 1;
        }
    }
    return 0;
}

Argument buffer(int32_t code) { return {true, {}, code, code}; }
Argument variable(std::initializer_list<VarType> types, int32_t unknown, int32_t type) { return {false, types, unknown, type}; }

}  // namespace

int stmtSetBuffer(StatementContext& ctx) {
    return indexedWrite(ctx, {err::SET_BUFFER_INDEX_BRACING_ERROR_SPECIFIED, err::SET_BUFFER_INVALID_BUFFER_SPECIFIED,
                              err::SET_BUFFER_MISSING_INDEX_AND_VALUE_FIELDS, err::SET_BUFFER_INDEX_OUT_OF_RANGE,
                              err::SET_BUFFER_INDEX_SPECIFIER_UNRECOGNIZABLE, err::SET_BUFFER_INDEX_VARIABLE_SPECIFIER_NOT_A_LONG,
                              err::SET_BUFFER_MISSING_VALUE_FIELD, err::SET_BUFFER_VALUE_SPECIFIER_UNRECOGNIZABLE,
                              err::SET_BUFFER_VALUE_VARIABLE_SPECIFIER_NOT_A_BYTE});
}

int stmtAndBuffer(StatementContext& ctx) {
    return indexedWrite(ctx, {err::AND_BUFFER_INDEX_BRACING_ERROR_SPECIFIED, err::AND_BUFFER_INVALID_BUFFER_SPECIFIED,
                              err::AND_BUFFER_MISSING_INDEX_AND_VALUE_FIELDS, err::AND_BUFFER_LITERAL_INDEX_OUT_OF_RANGE,
                              err::AND_BUFFER_INDEX_SPECIFIER_UNRECOGNIZABLE, err::AND_BUFFER_INDEX_VARIABLE_SPECIFIER_NOT_A_LONG,
                              err::AND_BUFFER_MISSING_VALUE_FIELD, err::AND_BUFFER_VALUE_SPECIFIER_UNRECOGNIZABLE,
                              err::AND_BUFFER_VALUE_VARIABLE_SPECIFIER_NOT_A_BYTE});
}

int stmtOrBuffer(StatementContext& ctx) {
    return indexedWrite(ctx, {err::OR_BUFFER_INDEX_BRACING_ERROR_SPECIFIED, err::OR_BUFFER_INVALID_BUFFER_SPECIFIED,
                              err::OR_BUFFER_MISSING_INDEX_AND_VALUE_FIELDS, err::OR_BUFFER_INDEX_OUT_OF_RANGE,
                              err::OR_BUFFER_INDEX_SPECIFIER_UNRECOGNIZABLE, err::OR_BUFFER_INDEX_VARIABLE_SPECIFIER_NOT_A_LONG,
                              err::OR_BUFFER_MISSING_VALUE_FIELD, err::OR_BUFFER_VALUE_SPECIFIER_UNRECOGNIZABLE,
                              err::OR_BUFFER_VALUE_VARIABLE_SPECIFIER_NOT_A_BYTE});
}

int stmtXorBuffer(StatementContext& ctx) {
    return indexedWrite(ctx, {err::XOR_BUFFER_INDEX_BRACING_ERROR_SPECIFIED, err::XOR_BUFFER_INVALID_BUFFER_SPECIFIED,
                              err::XOR_BUFFER_MISSING_INDEX_AND_VALUE_FIELDS, err::XOR_BUFFER_LITERAL_INDEX_OUT_OF_RANGE,
                              err::XOR_BUFFER_INDEX_SPECIFIER_UNRECOGNIZABLE, err::XOR_BUFFER_INDEX_VARIABLE_SPECIFIER_NOT_A_LONG,
                              err::XOR_BUFFER_MISSING_VALUE_FIELD, err::XOR_BUFFER_VALUE_SPECIFIER_UNRECOGNIZABLE,
                              err::XOR_BUFFER_VALUE_VARIABLE_SPECIFIER_NOT_A_BYTE});
}

int stmtPeek(StatementContext& ctx) {
    return checkIndexed(ctx, {err::PEEK_INDEX_BRACING_ERROR_SPECIFIED, err::PEEK_INVALID_BUFFER_SPECIFIED,
                              err::PEEK_MISSING_INDEX_AND_DESTINATION_FIELDS, err::PEEK_LITERAL_INDEX_OUT_OF_RANGE, err::PEEK_INDEX_SPECIFIER_UNRECOGNIZABLE,
                              err::PEEK_INDEX_VARIABLE_SPECIFIER_NOT_A_LONG, err::PEEK_MISSING_DESTINATION_FIELD,
                              err::PEEK_DEST_FIELD_MUST_BE_A_BYTE_VARIABLE, err::PEEK_DEST_FIELD_MUST_BE_A_BYTE_VARIABLE},
                        {0, kByte, false});
}

int stmtPeekW(StatementContext& ctx) {
    return checkIndexed(ctx, {err::K_PEEKW_INDEX_BRACING_ERROR_SPECIFIED, err::K_PEEKW_INVALID_BUFFER_SPECIFIED,
                              err::K_PEEKW_MISSING_INDEX_AND_DESTINATION_FIELDS, err::K_PEEKW_INDEX_OUT_OF_RANGE,
                              err::K_PEEKW_INDEX_SPECIFIER_UNRECOGNIZABLE, err::K_PEEKW_INDEX_VARIABLE_SPECIFIER_NOT_A_LONG,
                              err::K_PEEKW_MISSING_DESTINATION_FIELD, err::K_PEEKW_DEST_FIELD_MUST_BE_A_WORD_VARIABLE,
                              err::K_PEEKW_DEST_FIELD_MUST_BE_A_WORD_VARIABLE},
                        {1, {VarType::Word}, false});
}

int stmtPeekL(StatementContext& ctx) {
    return checkIndexed(ctx, {err::K_PEEKL_INDEX_BRACING_ERROR_SPECIFIED, err::K_PEEKL_INVALID_BUFFER_SPECIFIED,
                              err::K_PEEKL_MISSING_INDEX_AND_DESTINATION_FIELDS, err::K_PEEKL_INDEX_OUT_OF_RANGE,
                              err::K_PEEKL_INDEX_SPECIFIER_UNRECOGNIZABLE, err::K_PEEKL_INDEX_VARIABLE_SPECIFIER_NOT_A_LONG,
                              err::K_PEEKL_MISSING_DESTINATION_FIELD, err::K_PEEKL_DEST_FIELD_MUST_BE_A_LONG_VARIABLE,
                              err::K_PEEKL_DEST_FIELD_MUST_BE_A_LONG_VARIABLE},
                        {3, {VarType::Long}, false});
}

int stmtPoke(StatementContext& ctx) {
    const IndexedCodes codes{err::POKE_INDEX_BRACING_ERROR_SPECIFIED, err::POKE_INVALID_BUFFER_SPECIFIED,
                             err::POKE_MISSING_INDEX_AND_SOURCE_FIELDS, err::POKE_LITERAL_INDEX_OUT_OF_RANGE, err::POKE_INDEX_SPECIFIER_UNRECOGNIZABLE,
                             err::POKE_INDEX_VARIABLE_SPECIFIER_NOT_A_LONG, err::POKE_MISSING_SOURCE_FIELD,
                             err::POKE_SOURCE_FIELD_MUST_BE_A_BYTE_VARIABLE, err::POKE_SOURCE_FIELD_MUST_BE_A_BYTE_VARIABLE};
    // The source is classified by its number-type code: a byte literal, a wider literal
    // (refused), or else a variable name.
    std::string text(ctx.args);
    blankOut(text, "[]");
    const auto words = splitWords(text);
    if (words.size() >= 3) {
        const int code = ClassifyNumber(words[2]);
        if (code == kNumberWord || code == kNumberLong) {
            if (checkIndexed(ctx, codes, {0, kByte, true})) return 1;
            return ctx.fail(err::POKE_SOURCE_FIELD_MUST_BE_A_BYTE_TYPE_NUMBER);
        }
        if (code != kNumberByte) return checkIndexed(ctx, codes, {0, kByte, false});
    }
    return checkIndexed(ctx, codes, {0, kByte, true});
}

int stmtFillBuffer(StatementContext& ctx) {
    WordReader words(ctx.args);
    if (!ctx.buffer(words.next())) return ctx.fail(err::FILL_BUFFER_INVALID_BUFFER_SPECIFIED);
    const std::string_view fill = words.next();
    if (equalsUpper(fill, "INCR")) return 0;
    if (equalsUpper(fill, "RAND")) {
        const std::string_view seed = words.next();
        if (seed.empty()) return ctx.fail(err::FILL_BUFFER_NO_RAND_SEED);
        if (LooksLikeNumber(seed)) return 0;
        return ctx.needVariable(seed, kByte, err::FILL_BUFFER_INVALID_RAND_SEED_VALUE,
                                err::FILL_BUFFER_RAND_SEED_VALUE_MUST_BE_BYTE_TYPE);
    }
    return LooksLikeNumber(fill) ? 0 : ctx.fail(err::FILL_BUFFER_INVALID_FILL_TYPE);
}

int stmtCopyBuffer(StatementContext& ctx) {
    WordReader words(ctx.args);
    const ScriptBuffer* source = ctx.buffer(words.next());
    if (!source) return ctx.fail(err::COPYBUFFER_INVALID_1ST_BUFFER_DETECTED);
    const ScriptBuffer* destination = ctx.buffer(words.next());
    if (!destination) return ctx.fail(err::COPYBUFFER_INVALID_2ND_BUFFER_DETECTED);
    return source->size() == destination->size() ? 0 : ctx.fail(err::COPYBUFFER_BUFFER_SIZE_MISMATCH_DETECTED);
}

int stmtCompareBuffer(StatementContext& ctx) {
    return checkArguments(
        ctx, {buffer(err::COMPARE_BUFFER_INVALID_1ST_BUFFER_DETECTED), buffer(err::COMPARE_BUFFER_INVALID_2ND_BUFFER_DETECTED),
              variable(kByte, err::COMPARE_BUFFER_UNKNOWN_STATUS_BYTE_VARIABLE, err::COMPARE_BUFFER_INVALID_STATUS_BYTE_TYPE_SPECIFIED),
              variable({VarType::Long}, err::COMPARE_BUFFER_UNKNOWN_ADDRESS_LONG_VARIABLE,
                       err::COMPARE_BUFFER_INVALID_ADDRESS_LONG_TYPE_SPECIFIED),
              variable(kByte, err::COMPARE_BUFFER_UNKNOWN_READ_BYTE_VARIABLE, err::COMPARE_BUFFER_INVALID_READ_BYTE_TYPE_SPECIFIED),
              variable(kByte, err::COMPARE_BUFFER_UNKNOWN_WROTE_BYTE_VARIABLE,
                       err::COMPARE_BUFFER_INVALID_WROTE_BYTE_TYPE_SPECIFIED)});
}

int stmtDimension(StatementContext& ctx) {
    WordReader words(ctx.args);
    if (!ctx.buffer(words.next())) return ctx.fail(err::K_DIMENSION_INVALID_BUFFER_DETECTED);
    const std::string_view size = words.next();
    if (const ScriptVariable* v = ctx.variable(size))
        return v->type == VarType::Double ? ctx.fail(err::K_DIMENSION_SIZE_VARIABLE_ERROR) : 0;
    const int code = ClassifyNumber(size);
    if (size.empty() || (code != kNumberByte && code != kNumberWord && code != kNumberLong))
        return ctx.fail(err::K_DIMENSION_SIZE_NUMBER_ERROR);
    return ParseLong(size) == 0 ? ctx.fail(err::K_DIMENSION_SIZE_RANGE_ERROR) : 0;
}

int stmtLoadBuffer(StatementContext& ctx) {
    std::string text(ctx.args);
    blankOut(text, "\"");
    std::string_view rest = trimBlanks(text);
    if (equalsUpper(firstWord(rest), "ONCE")) rest = afterFirstWord(rest);
    const std::string_view bufferName = firstWord(rest);
    const std::string_view fileName = trimBlanks(afterFirstWord(rest));
    if (fileName.empty()) return ctx.fail(err::LOAD_BUFFER_NO_FILE_SPECIFIED);
    if (!ctx.buffer(bufferName)) return ctx.fail(err::LOAD_BUFFER_INVALID_BUFFER_SPECIFIED);
    // Looked up in the Scripts folder, as every file a script names.
    std::string contents;
    const auto path = resolveCaseInsensitive(ctx.engine.scriptsFolder() / std::string(fileName));
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return ctx.fail(err::LOAD_BUFFER_UNABLE_TO_OPEN_FILE_SPECIFIED);
    return 0;
}

int stmtThumbprint(StatementContext&) { return 0; }

int stmtTime(StatementContext& ctx) {
    return checkArguments(ctx, {variable({VarType::Double}, err::TIME_INVALID_VARIABLE_SPECIFIED, err::TIME_INVALID_VARIABLE_TYPE_SPECIFIED)});
}

int stmtFormatTime(StatementContext& ctx) {
    return checkArguments(
        ctx, {variable({VarType::Double}, err::FORMATTIME_INVALID_TIME_VARIABLE_SPECIFIED, err::FORMATTIME_INVALID_TIME_VARIABLE_TYPE_SPECIFIED),
              variable({VarType::Word}, err::FORMATTIME_INVALID_HOURS_VARIABLE_SPECIFIED, err::FORMATTIME_INVALID_HOURS_VARIABLE_TYPE_SPECIFIED),
              variable(kByte, err::FORMATTIME_INVALID_MINUTES_VARIABLE_SPECIFIED, err::FORMATTIME_INVALID_MINUTES_VARIABLE_TYPE_SPECIFIED),
              variable({VarType::Double}, err::FORMATTIME_INVALID_SECONDS_VARIABLE_SPECIFIED,
                       err::FORMATTIME_INVALID_SECONDS_VARIABLE_TYPE_SPECIFIED)});
}

// String and conversion statements: buffers first, then variables, each with its codes.
int stmtAton(StatementContext& ctx) {
    return checkArguments(ctx, {buffer(err::ATON_INVALID_BUFFER_VARIABLE_SPECIFIED),
                                variable({VarType::Byte, VarType::Word}, err::ATON_INVALID_RESULT_VARIABLE_SPECIFIED,
                                         err::ATON_INVALID_RESULT_VARIABLE_TYPE_SPECIFIED)});
}
int stmtAtoln(StatementContext& ctx) {
    return checkArguments(ctx, {buffer(err::ATOLN_INVALID_BUFFER_VARIABLE_SPECIFIED),
                                variable({VarType::Long}, err::ATOLN_INVALID_RESULT_VARIABLE_SPECIFIED,
                                         err::ATOLN_INVALID_RESULT_VARIABLE_TYPE_SPECIFIED)});
}
int stmtBigIndian(StatementContext& ctx) {
    // Recognised, but refused in every form.
    return ctx.variable(trimBlanks(ctx.args)) ? ctx.fail(err::BIG_INDIAN_INVALID_VARIABLE_TYPE_SPECIFIED)
                                              : ctx.fail(err::BIG_INDIAN_INVALID_VARIABLE_SPECIFIED);
}
int stmtClear1stWord(StatementContext& ctx) { return checkArguments(ctx, {buffer(err::CLEAR1STWORD_INVALID_BUFFER_VARIABLE_SPECIFIED)}); }
int stmtDetermineNumberType(StatementContext& ctx) {
    return checkArguments(ctx, {buffer(err::DETERMINENUMBERTYPE_INVALID_BUFFER_VARIABLE_SPECIFIED),
                                variable(kByte, err::DETERMINENUMBERTYPE_INVALID_VARIABLE_SPECIFIED,
                                         err::DETERMINENUMBERTYPE_INVALID_VARIABLE_TYPE_SPECIFIED)});
}
int stmtFetch1stWord(StatementContext& ctx) { return checkArguments(ctx, {buffer(err::FETCH1STWORD_INVALID_BUFFER_VARIABLE_SPECIFIED)}); }
int stmtLeftString(StatementContext& ctx) {
    return checkArguments(ctx, {buffer(err::LEFTSTRING_INVALID_SOURCE_BUFFER_VARIABLE_SPECIFIED),
                                buffer(err::LEFTSTRING_INVALID_DESTINATION_BUFFER_VARIABLE_SPECIFIED),
                                variable({VarType::Word}, err::LEFTSTRING_INVALID_VARIABLE_SPECIFIED,
                                         err::LEFTSTRING_INVALID_VARIABLE_TYPE_SPECIFIED)});
}
int stmtMidString(StatementContext& ctx) {
    return checkArguments(ctx, {buffer(err::MIDSTRING_INVALID_SOURCE_BUFFER_VARIABLE_SPECIFIED),
                                buffer(err::MIDSTRING_INVALID_DESTINATION_BUFFER_VARIABLE_SPECIFIED),
                                variable({VarType::Word}, err::MIDSTRING_INVALID_START_VARIABLE_SPECIFIED,
                                         err::MIDSTRING_INVALID_START_VARIABLE_TYPE_SPECIFIED),
                                variable({VarType::Word}, err::MIDSTRING_INVALID_SWATH_VARIABLE_SPECIFIED,
                                         err::MIDSTRING_INVALID_SWATH_VARIABLE_TYPE_SPECIFIED)});
}
int stmtOccurance(StatementContext& ctx) {
    return checkArguments(ctx, {buffer(err::OCCURANCE_INVALID_AGAINST_BUFFER_VARIABLE_SPECIFIED),
                                buffer(err::OCCURANCE_INVALID_QUERY_BUFFER_VARIABLE_SPECIFIED),
                                variable({VarType::Word}, err::OCCURANCE_INVALID_COUNT_VARIABLE_SPECIFIED,
                                         err::OCCUANCE_INVALID_COUNT_TYPE_SPECIFIED)});
}
int stmtRemoveComments(StatementContext& ctx) {
    return checkArguments(ctx, {buffer(err::REMOVECOMMENTSE_INVALID_BUFFER_VARIABLE_SPECIFIED)});
}
int stmtRightString(StatementContext& ctx) {
    return checkArguments(ctx, {buffer(err::RIGHTSTRING_INVALID_SOURCE_BUFFER_VARIABLE_SPECIFIED),
                                buffer(err::RIGHTSTRING_INVALID_DESTINATION_BUFFER_VARIABLE_SPECIFIED),
                                variable({VarType::Word}, err::RIGHTSTRING_INVALID_SWATH_VARIABLE_SPECIFIED,
                                         err::RIGHTSTRING_INVALID_SWATH_VARIABLE_TYPE_SPECIFIED)});
}

int stmtRipReplace(StatementContext& ctx) {
    // find and replace: both buffers, or both BYTE variables (characters).
    WordReader words(ctx.args);
    enum class Kind { Buffer, Byte };
    auto kindOf = [&](std::string_view word, int32_t unknown, int32_t type, Kind& kind) {
        if (ctx.buffer(word)) {
            kind = Kind::Buffer;
            return 0;
        }
        kind = Kind::Byte;
        return ctx.needVariable(word, kByte, unknown, type);
    };
    Kind find{}, replace{};
    if (kindOf(words.next(), err::RIPREPLACE_INVALID_FIND_VARIABLE_SPECIFIED, err::RIPREPLACE_INVALID_FIND_VARIABLE_TYPE_SPECIFIED, find))
        return 1;
    if (kindOf(words.next(), err::RIPREPLACE_INVALID_REPLACE_VARIABLE_SPECIFIED,
               err::RIPREPLACE_INVALID_REPLACE_VARIABLE_TYPE_SPECIFIED, replace))
        return 1;
    if (find != replace) return ctx.fail(err::RIPREPLACE_MIXING_ARGUMENTS_ERROR);
    return ctx.buffer(words.next()) ? 0 : ctx.fail(err::RIPREPLACE_INVALID_STRING_BUFFER_VARIABLE_SPECIFIED);
}

int stmtStore1stWord(StatementContext& ctx) {
    return checkArguments(ctx, {buffer(err::STORE1STWORD_INVALID_SOURCE_BUFFER_VARIABLE_SPECIFIED),
                                buffer(err::STORE1STWORD_INVALID_DESTINATION_BUFFER_VARIABLE_SPECIFIED)});
}
int stmtShrink(StatementContext& ctx) { return checkArguments(ctx, {buffer(err::SHRINK_INVALID_BUFFER_VARIABLE_SPECIFIED)}); }
int stmtStringC(StatementContext& ctx) {
    return checkArguments(ctx, {buffer(err::STRINGC_INVALID_AGAINST_BUFFER_VARIABLE_SPECIFIED),
                                buffer(err::STRINGC_INVALID_QUERY_BUFFER_VARIABLE_SPECIFIED),
                                variable({VarType::Word}, err::STRINGC_INVALID_START_VARIABLE_SPECIFIED,
                                         err::STRINGC_INVALID_START_VARIABLE_TYPE_SPECIFIED),
                                variable({VarType::Word}, err::STRINGC_INVALID_INDEX_VARIABLE_SPECIFIED,
                                         err::STRINGC_INVALID_INDEX_VARIABLE_TYPE_SPECIFIED)});
}
int stmtStringAbsC(StatementContext& ctx) {
    return checkArguments(ctx, {buffer(err::STRINGABSC_INVALID_AGAINST_BUFFER_VARIABLE_SPECIFIED),
                                buffer(err::STRINGABSC_INVALID_QUERY_BUFFER_VARIABLE_SPECIFIED),
                                variable(kByte, err::STRINGABSC_INVALID_RESULT_VARIABLE_SPECIFIED,
                                         err::STRINGABSC_INVALID_RESULT_VARIABLE_TYPE_SPECIFIED)});
}
int stmtStrLen(StatementContext& ctx) {
    return checkArguments(ctx, {buffer(err::STRLEN_INVALID_BUFFER_VARIABLE_SPECIFIED),
                                variable({VarType::Word}, err::STRLEN_INVALID_RESULT_VARIABLE_SPECIFIED,
                                         err::STRLEN_INVALID_RESULT_VARIABLE_TYPE_SPECIFIED)});
}
int stmtUpperCase(StatementContext& ctx) { return checkArguments(ctx, {buffer(err::UPPERCASE_INVALID_BUFFER_VARIABLE_SPECIFIED)}); }
int stmtWipeLeft(StatementContext& ctx) { return checkArguments(ctx, {buffer(err::WIPELEFT_INVALID_BUFFER_VARIABLE_SPECIFIED)}); }
int stmtWipeRight(StatementContext& ctx) { return checkArguments(ctx, {buffer(err::WIPERIGHT_INVALID_BUFFER_VARIABLE_SPECIFIED)}); }

}  // namespace vexal::script
