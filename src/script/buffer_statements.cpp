// Buffer statements. Each handler checks its arguments in both phases and acts only when
// the engine is executing. Literal indexes are checked against the buffer's size in both
// phases; indexes held in variables only at run time. Every byte written or read lies
// inside the buffer: indexes and sizes come from scripts and are not trusted.
#include <algorithm>
#include <fstream>
#include <new>

#include "script/number_literals.h"
#include "script/script_error_codes.h"
#include "script/script_text.h"
#include "script/script_values.h"
#include "script/statement_arguments.h"
#include "script/statement_handlers.h"

namespace vexal::script {
namespace {

struct IndexedCodes {
    int32_t bracing, buffer, missingBoth, literalRange, variableRange, index, indexNotLong, missingValue, value, valueType;
};

// What may stand in the value position.
enum class ValueForm {
    LiteralOrByte,  // a word that looks like a number, else a BYTE variable
    Destination,    // a variable of the statement's type only
    PokeSource,     // by number-type code: a byte literal, a wider literal (refused), else a BYTE variable
};

struct IndexedForm {
    uint32_t extent = 0;                   // bytes read or written from the index on, minus one
    std::initializer_list<VarType> types;  // of the value / destination variable
    ValueForm value = ValueForm::LiteralOrByte;
};

struct IndexedTarget {
    ScriptBuffer* buffer = nullptr;
    uint32_t index = 0;
    ScriptVariable* variable = nullptr;  // null when the value is a literal
    uint8_t literal = 0;

    uint8_t value() const { return variable ? variable->byteSlot : literal; }
};

// buffer [ index ] value, for the indexed write and read statements.
int checkIndexed(StatementContext& ctx, const IndexedCodes& c, const IndexedForm& form, IndexedTarget& t) {
    std::string text(ctx.args);
    if (std::count(text.begin(), text.end(), '[') != 1 || std::count(text.begin(), text.end(), ']') != 1)
        return ctx.fail(c.bracing);
    blankOut(text, "[]");
    WordReader words(text);
    t.buffer = ctx.buffer(words.next());
    if (!t.buffer) return ctx.fail(c.buffer);
    const std::string_view index = words.next();
    if (index.empty()) return ctx.fail(c.missingBoth);
    // Compared in 64 bits so that an index near 2^32 plus the extent cannot wrap.
    if (LooksLikeNumber(index)) {
        t.index = ParseLong(index);
        if (uint64_t(t.index) + form.extent >= t.buffer->size()) return ctx.fail(c.literalRange);
    } else {
        if (ctx.needVariable(index, {VarType::Long}, c.index, c.indexNotLong)) return 1;
        t.index = ctx.variable(index)->longSlot;
        if (ctx.executing() && uint64_t(t.index) + form.extent >= t.buffer->size()) return ctx.fail(c.variableRange);
    }
    const std::string_view value = words.next();
    if (value.empty()) return ctx.fail(c.missingValue);
    switch (form.value) {
        case ValueForm::LiteralOrByte:
            if (LooksLikeNumber(value)) {
                t.literal = static_cast<uint8_t>(ParseWordValue(value));
                return 0;
            }
            break;
        case ValueForm::PokeSource: {
            const int code = ClassifyNumber(value);
            if (code == kNumberByte) {
                t.literal = static_cast<uint8_t>(ParseWordValue(value));
                return 0;
            }
            if (code == kNumberWord || code == kNumberLong) return ctx.fail(err::POKE_SOURCE_FIELD_MUST_BE_A_BYTE_TYPE_NUMBER);
            break;
        }
        case ValueForm::Destination: break;
    }
    if (ctx.needVariable(value, form.types, c.value, c.valueType)) return 1;
    t.variable = ctx.variable(value);
    return 0;
}

constexpr std::initializer_list<VarType> kByte{VarType::Byte};

// SETBUFFER and its bitwise relatives: `apply` combines the old byte with the value.
template <typename Apply>
int indexedWrite(StatementContext& ctx, const IndexedCodes& c, Apply apply) {
    IndexedTarget t;
    if (checkIndexed(ctx, c, {0, kByte, ValueForm::LiteralOrByte}, t)) return 1;
    if (ctx.executing()) {
        uint8_t& byte = t.buffer->storage[t.index];
        byte = apply(byte, t.value());
        t.buffer->primed = true;
    }
    return 0;
}

// PEEK, PEEKW, PEEKL: `width` bytes from the index on, most significant first.
int indexedRead(StatementContext& ctx, const IndexedCodes& c, uint32_t width, VarType type) {
    IndexedTarget t;
    if (checkIndexed(ctx, c, {width - 1, {type}, ValueForm::Destination}, t)) return 1;
    if (ctx.executing()) {
        uint32_t value = 0;
        for (uint32_t i = 0; i < width; ++i) value = (value << 8) | t.buffer->storage[size_t(t.index) + i];
        storeInteger(*t.variable, value);
    }
    return 0;
}

// The generator FILLBUFFER RAND uses; a seed always gives the same sequence, so a later
// script can regenerate expected data.
class FillGenerator {
public:
    void seed(uint32_t s) { state_ = s; }
    uint32_t next() {
        state_ = state_ * 214013u + 2531011u;
        return (state_ >> 16) & 0x7FFFu;
    }

private:
    uint32_t state_ = 1;
};

FillGenerator& fillGenerator() {
    thread_local FillGenerator generator;
    return generator;
}

std::filesystem::path loadBufferPath(StatementContext& ctx, std::string_view fileName) {
    // Looked up in the Scripts folder, as every file a script names.
    return resolveCaseInsensitive(ctx.engine.scriptsFolder() / std::string(fileName));
}

// Fills `buffer` from the file: its first bytes when the file is at least as long, else the
// file repeated (or once, leaving the rest unchanged). An empty file changes nothing.
bool loadFile(const std::filesystem::path& path, ScriptBuffer& buffer, bool once) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    const std::streamoff length = in.tellg();
    if (length < 0) return false;
    in.seekg(0, std::ios::beg);
    const size_t size = buffer.storage.size();
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(uint64_t(length), size));
    size_t got = 0;
    if (wanted > 0) {
        in.read(reinterpret_cast<char*>(buffer.storage.data()), static_cast<std::streamsize>(wanted));
        got = static_cast<size_t>(in.gcount());
    }
    if (!once && got > 0)
        for (size_t i = got; i < size; ++i) buffer.storage[i] = buffer.storage[i - got];
    buffer.primed = true;
    return true;
}

}  // namespace

int stmtSetBuffer(StatementContext& ctx) {
    return indexedWrite(ctx,
                        {err::SET_BUFFER_INDEX_BRACING_ERROR_SPECIFIED, err::SET_BUFFER_INVALID_BUFFER_SPECIFIED,
                         err::SET_BUFFER_MISSING_INDEX_AND_VALUE_FIELDS, err::SET_BUFFER_INDEX_OUT_OF_RANGE,
                         err::SET_BUFFER_INDEX_OUT_OF_RANGE, err::SET_BUFFER_INDEX_SPECIFIER_UNRECOGNIZABLE,
                         err::SET_BUFFER_INDEX_VARIABLE_SPECIFIER_NOT_A_LONG, err::SET_BUFFER_MISSING_VALUE_FIELD,
                         err::SET_BUFFER_VALUE_SPECIFIER_UNRECOGNIZABLE, err::SET_BUFFER_VALUE_VARIABLE_SPECIFIER_NOT_A_BYTE},
                        [](uint8_t, uint8_t v) { return v; });
}

int stmtAndBuffer(StatementContext& ctx) {
    return indexedWrite(ctx,
                        {err::AND_BUFFER_INDEX_BRACING_ERROR_SPECIFIED, err::AND_BUFFER_INVALID_BUFFER_SPECIFIED,
                         err::AND_BUFFER_MISSING_INDEX_AND_VALUE_FIELDS, err::AND_BUFFER_LITERAL_INDEX_OUT_OF_RANGE,
                         err::AND_BUFFER_INDEX_OUT_OF_RANGE, err::AND_BUFFER_INDEX_SPECIFIER_UNRECOGNIZABLE,
                         err::AND_BUFFER_INDEX_VARIABLE_SPECIFIER_NOT_A_LONG, err::AND_BUFFER_MISSING_VALUE_FIELD,
                         err::AND_BUFFER_VALUE_SPECIFIER_UNRECOGNIZABLE, err::AND_BUFFER_VALUE_VARIABLE_SPECIFIER_NOT_A_BYTE},
                        [](uint8_t b, uint8_t v) { return static_cast<uint8_t>(b & v); });
}

int stmtOrBuffer(StatementContext& ctx) {
    return indexedWrite(ctx,
                        {err::OR_BUFFER_INDEX_BRACING_ERROR_SPECIFIED, err::OR_BUFFER_INVALID_BUFFER_SPECIFIED,
                         err::OR_BUFFER_MISSING_INDEX_AND_VALUE_FIELDS, err::OR_BUFFER_INDEX_OUT_OF_RANGE,
                         err::OR_BUFFER_INDEX_OUT_OF_RANGE, err::OR_BUFFER_INDEX_SPECIFIER_UNRECOGNIZABLE,
                         err::OR_BUFFER_INDEX_VARIABLE_SPECIFIER_NOT_A_LONG, err::OR_BUFFER_MISSING_VALUE_FIELD,
                         err::OR_BUFFER_VALUE_SPECIFIER_UNRECOGNIZABLE, err::OR_BUFFER_VALUE_VARIABLE_SPECIFIER_NOT_A_BYTE},
                        [](uint8_t b, uint8_t v) { return static_cast<uint8_t>(b | v); });
}

int stmtXorBuffer(StatementContext& ctx) {
    return indexedWrite(ctx,
                        {err::XOR_BUFFER_INDEX_BRACING_ERROR_SPECIFIED, err::XOR_BUFFER_INVALID_BUFFER_SPECIFIED,
                         err::XOR_BUFFER_MISSING_INDEX_AND_VALUE_FIELDS, err::XOR_BUFFER_LITERAL_INDEX_OUT_OF_RANGE,
                         err::XOR_BUFFER_INDEX_OUT_OF_RANGE, err::XOR_BUFFER_INDEX_SPECIFIER_UNRECOGNIZABLE,
                         err::XOR_BUFFER_INDEX_VARIABLE_SPECIFIER_NOT_A_LONG, err::XOR_BUFFER_MISSING_VALUE_FIELD,
                         err::XOR_BUFFER_VALUE_SPECIFIER_UNRECOGNIZABLE, err::XOR_BUFFER_VALUE_VARIABLE_SPECIFIER_NOT_A_BYTE},
                        [](uint8_t b, uint8_t v) { return static_cast<uint8_t>(b ^ v); });
}

int stmtPeek(StatementContext& ctx) {
    return indexedRead(ctx,
                       {err::PEEK_INDEX_BRACING_ERROR_SPECIFIED, err::PEEK_INVALID_BUFFER_SPECIFIED,
                        err::PEEK_MISSING_INDEX_AND_DESTINATION_FIELDS, err::PEEK_LITERAL_INDEX_OUT_OF_RANGE,
                        err::PEEK_INDEX_OUT_OF_RANGE, err::PEEK_INDEX_SPECIFIER_UNRECOGNIZABLE,
                        err::PEEK_INDEX_VARIABLE_SPECIFIER_NOT_A_LONG, err::PEEK_MISSING_DESTINATION_FIELD,
                        err::PEEK_DEST_FIELD_MUST_BE_A_BYTE_VARIABLE, err::PEEK_DEST_FIELD_MUST_BE_A_BYTE_VARIABLE},
                       1, VarType::Byte);
}

int stmtPeekW(StatementContext& ctx) {
    return indexedRead(ctx,
                       {err::K_PEEKW_INDEX_BRACING_ERROR_SPECIFIED, err::K_PEEKW_INVALID_BUFFER_SPECIFIED,
                        err::K_PEEKW_MISSING_INDEX_AND_DESTINATION_FIELDS, err::K_PEEKW_INDEX_OUT_OF_RANGE,
                        err::KRT_PEEKW_INDEX_OUT_OF_RANGE, err::K_PEEKW_INDEX_SPECIFIER_UNRECOGNIZABLE,
                        err::K_PEEKW_INDEX_VARIABLE_SPECIFIER_NOT_A_LONG, err::K_PEEKW_MISSING_DESTINATION_FIELD,
                        err::K_PEEKW_DEST_FIELD_MUST_BE_A_WORD_VARIABLE, err::K_PEEKW_DEST_FIELD_MUST_BE_A_WORD_VARIABLE},
                       2, VarType::Word);
}

int stmtPeekL(StatementContext& ctx) {
    return indexedRead(ctx,
                       {err::K_PEEKL_INDEX_BRACING_ERROR_SPECIFIED, err::K_PEEKL_INVALID_BUFFER_SPECIFIED,
                        err::K_PEEKL_MISSING_INDEX_AND_DESTINATION_FIELDS, err::K_PEEKL_INDEX_OUT_OF_RANGE,
                        err::KRT_PEEKL_INDEX_OUT_OF_RANGE, err::K_PEEKL_INDEX_SPECIFIER_UNRECOGNIZABLE,
                        err::K_PEEKL_INDEX_VARIABLE_SPECIFIER_NOT_A_LONG, err::K_PEEKL_MISSING_DESTINATION_FIELD,
                        err::K_PEEKL_DEST_FIELD_MUST_BE_A_LONG_VARIABLE, err::K_PEEKL_DEST_FIELD_MUST_BE_A_LONG_VARIABLE},
                       4, VarType::Long);
}

int stmtPoke(StatementContext& ctx) {
    const IndexedCodes codes{err::POKE_INDEX_BRACING_ERROR_SPECIFIED, err::POKE_INVALID_BUFFER_SPECIFIED,
                             err::POKE_MISSING_INDEX_AND_SOURCE_FIELDS, err::POKE_LITERAL_INDEX_OUT_OF_RANGE,
                             err::POKE_INDEX_OUT_OF_RANGE, err::POKE_INDEX_SPECIFIER_UNRECOGNIZABLE,
                             err::POKE_INDEX_VARIABLE_SPECIFIER_NOT_A_LONG, err::POKE_MISSING_SOURCE_FIELD,
                             err::POKE_SOURCE_FIELD_MUST_BE_A_BYTE_VARIABLE, err::POKE_SOURCE_FIELD_MUST_BE_A_BYTE_VARIABLE};
    IndexedTarget t;
    if (checkIndexed(ctx, codes, {0, kByte, ValueForm::PokeSource}, t)) return 1;
    if (ctx.executing()) {
        t.buffer->storage[t.index] = t.value();
        t.buffer->primed = true;
    }
    return 0;
}

int stmtFillBuffer(StatementContext& ctx) {
    WordReader words(ctx.args);
    ScriptBuffer* buffer = ctx.buffer(words.next());
    if (!buffer) return ctx.fail(err::FILL_BUFFER_INVALID_BUFFER_SPECIFIED);
    std::vector<uint8_t>& bytes = buffer->storage;
    const std::string_view fill = words.next();
    if (equalsUpper(fill, "INCR")) {
        if (!ctx.executing()) return 0;
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
    } else if (equalsUpper(fill, "RAND")) {
        const std::string_view seedWord = words.next();
        if (seedWord.empty()) return ctx.fail(err::FILL_BUFFER_NO_RAND_SEED);
        uint8_t seed = 0;
        if (LooksLikeNumber(seedWord)) {
            seed = static_cast<uint8_t>(ParseLong(seedWord));
        } else {
            if (ctx.needVariable(seedWord, kByte, err::FILL_BUFFER_INVALID_RAND_SEED_VALUE,
                                 err::FILL_BUFFER_RAND_SEED_VALUE_MUST_BE_BYTE_TYPE))
                return 1;
            seed = ctx.variable(seedWord)->byteSlot;
        }
        if (!ctx.executing()) return 0;
        FillGenerator& generator = fillGenerator();
        generator.seed(seed);
        for (uint8_t& b : bytes) b = static_cast<uint8_t>(generator.next());
    } else {
        if (!LooksLikeNumber(fill)) return ctx.fail(err::FILL_BUFFER_INVALID_FILL_TYPE);
        if (!ctx.executing()) return 0;
        std::fill(bytes.begin(), bytes.end(), static_cast<uint8_t>(ParseWordValue(fill)));
    }
    buffer->primed = true;
    return 0;
}

int stmtCopyBuffer(StatementContext& ctx) {
    WordReader words(ctx.args);
    const ScriptBuffer* source = ctx.buffer(words.next());
    if (!source) return ctx.fail(err::COPYBUFFER_INVALID_1ST_BUFFER_DETECTED);
    ScriptBuffer* destination = ctx.buffer(words.next());
    if (!destination) return ctx.fail(err::COPYBUFFER_INVALID_2ND_BUFFER_DETECTED);
    if (source->size() != destination->size()) return ctx.fail(err::COPYBUFFER_BUFFER_SIZE_MISMATCH_DETECTED);
    if (ctx.executing()) {
        std::copy(source->storage.begin(), source->storage.end(), destination->storage.begin());
        destination->primed = true;
    }
    return 0;
}

int stmtCompareBuffer(StatementContext& ctx) {
    Resolved r;
    if (checkArguments(
            ctx,
            {bufferArgument(err::COMPARE_BUFFER_INVALID_1ST_BUFFER_DETECTED),
             bufferArgument(err::COMPARE_BUFFER_INVALID_2ND_BUFFER_DETECTED),
             variableArgument(kByte, err::COMPARE_BUFFER_UNKNOWN_STATUS_BYTE_VARIABLE,
                              err::COMPARE_BUFFER_INVALID_STATUS_BYTE_TYPE_SPECIFIED),
             variableArgument({VarType::Long}, err::COMPARE_BUFFER_UNKNOWN_ADDRESS_LONG_VARIABLE,
                              err::COMPARE_BUFFER_INVALID_ADDRESS_LONG_TYPE_SPECIFIED),
             variableArgument(kByte, err::COMPARE_BUFFER_UNKNOWN_READ_BYTE_VARIABLE, err::COMPARE_BUFFER_INVALID_READ_BYTE_TYPE_SPECIFIED),
             variableArgument(kByte, err::COMPARE_BUFFER_UNKNOWN_WROTE_BYTE_VARIABLE,
                              err::COMPARE_BUFFER_INVALID_WROTE_BYTE_TYPE_SPECIFIED)},
            &r))
        return 1;
    if (!ctx.executing()) return 0;
    const std::vector<uint8_t>& written = r.buffers[0]->storage;
    const std::vector<uint8_t>& read = r.buffers[1]->storage;
    if (written.size() != read.size()) return ctx.fail(err::COMPARE_BUFFER_BUFFER_SIZE_MISMATCH_DETECTED);
    // A mismatch is no error: the script tests the status.
    const auto [w, rd] = std::mismatch(written.begin(), written.end(), read.begin());
    const bool same = w == written.end();
    storeInteger(*r.variables[2], same ? 0 : 0xFF);
    storeInteger(*r.variables[3], same ? 0 : uint64_t(w - written.begin()));
    storeInteger(*r.variables[4], same ? 0 : *rd);
    storeInteger(*r.variables[5], same ? 0 : *w);
    return 0;
}

int stmtDimension(StatementContext& ctx) {
    WordReader words(ctx.args);
    ScriptBuffer* buffer = ctx.buffer(words.next());
    if (!buffer) return ctx.fail(err::K_DIMENSION_INVALID_BUFFER_DETECTED);
    const std::string_view sizeWord = words.next();
    uint64_t size = 0;
    if (const ScriptVariable* v = ctx.variable(sizeWord)) {
        if (v->type == VarType::Double) return ctx.fail(err::K_DIMENSION_SIZE_VARIABLE_ERROR);
        if (!ctx.executing()) return 0;
        size = integerValue(*v);
        if (size == 0) return ctx.fail(err::KRT_DIMENSION_SIZE_ERROR);
    } else {
        const int code = ClassifyNumber(sizeWord);
        if (sizeWord.empty() || (code != kNumberByte && code != kNumberWord && code != kNumberLong))
            return ctx.fail(err::K_DIMENSION_SIZE_NUMBER_ERROR);
        size = ParseLong(sizeWord);
        if (size == 0) return ctx.fail(err::K_DIMENSION_SIZE_RANGE_ERROR);
        if (!ctx.executing()) return 0;
    }

    // The same bounds as the declarations: an absurd size is refused and the buffer keeps
    // its old storage and size.
    const LoadLimits& limits = ctx.engine.limits();
    uint64_t& total = ctx.engine.bufferBytes();
    const uint64_t others = total >= buffer->size() ? total - buffer->size() : 0;
    if (size > limits.maxBufferBytes || others + size > limits.maxTotalBufferBytes)
        return ctx.fail(err::KRT_DIMENSION_NEW_BUFFER_CREATION_ERROR);
    std::vector<uint8_t> storage;
    try {
        storage.assign(static_cast<size_t>(size), 0);
    } catch (const std::bad_alloc&) {
        return ctx.fail(err::KRT_DIMENSION_NEW_BUFFER_CREATION_ERROR);
    }
    buffer->storage.swap(storage);
    total = others + size;

    const uint32_t newSize = buffer->size();
    for (auto& cdb : ctx.tables().cdbs) {
        if (cdb->bufferName != buffer->name) continue;
        cdb->buffer = buffer;
        cdb->bufferSize = newSize;
        cdb->transferLength = newSize;
    }
    for (auto& page : ctx.tables().logPages)
        if (page->buffer == buffer) page->bufferSize = newSize;
    return 0;
}

int stmtLoadBuffer(StatementContext& ctx) {
    std::string text(ctx.args);
    blankOut(text, "\"");
    std::string_view rest = trimBlanks(text);
    const bool once = equalsUpper(firstWord(rest), "ONCE");
    if (once) rest = afterFirstWord(rest);
    const std::string_view bufferName = firstWord(rest);
    const std::string_view fileName = trimBlanks(afterFirstWord(rest));
    if (fileName.empty()) return ctx.fail(err::LOAD_BUFFER_NO_FILE_SPECIFIED);
    ScriptBuffer* buffer = ctx.buffer(bufferName);
    if (!buffer) return ctx.fail(err::LOAD_BUFFER_INVALID_BUFFER_SPECIFIED);
    const auto path = loadBufferPath(ctx, fileName);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return ctx.fail(err::LOAD_BUFFER_UNABLE_TO_OPEN_FILE_SPECIFIED);
    if (ctx.executing() && !loadFile(path, *buffer, once)) return ctx.fail(err::LOAD_BUFFER_UNABLE_TO_OPEN_FILE_SPECIFIED);
    return 0;
}

int stmtThumbprint(StatementContext&) { return 0; }

}  // namespace vexal::script
