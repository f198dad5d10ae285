#include "script/declarations.h"

#include <new>

#include "script/number_literals.h"
#include "script/scsi_command_names.h"
#include "script/script_error_codes.h"
#include "script/script_text.h"

namespace vexal::script {
namespace {

struct ScalarCodes {
    int32_t duplicate, invalidStatement, invalidAssignment;
};

ScalarCodes scalarCodes(VarType type) {
    switch (type) {
        case VarType::Byte: return {err::BYTE_DUPLICATE_NAME_DETECTED, err::BYTE_INVALID_STATEMENT_DETECTED, err::K_OP_BYTE_INVALID_ASSIGNMENT};
        case VarType::Word: return {err::WORD_DUPLICATE_NAME_DETECTED, err::WORD_INVALID_STATEMENT_DETECTED, err::K_OP_WORD_INVALID_ASSIGNMENT};
        case VarType::Long: return {err::LONG_DUPLICATE_NAME_DETECTED, err::LONG_INVALID_STATEMENT_DETECTED, err::K_OP_LONG_INVALID_ASSIGNMENT};
        case VarType::Double: break;
    }
    return {err::DBL_DUPLICATE_NAME_DETECTED, err::DBL_INVALID_STATEMENT_DETECTED, err::K_OP_FLOAT_INVALID_ASSIGNMENT};
}

bool literalFits(VarType type, int code) {
    switch (type) {
        case VarType::Byte: return code == kNumberByte;
        case VarType::Word: return code == kNumberByte || code == kNumberWord;
        case VarType::Long: return code == kNumberByte || code == kNumberWord || code == kNumberLong;
        case VarType::Double: return code == kNumberDouble;
    }
    return false;
}

// The leading decimal digits of a word, as the C library reads them.
long leadingDecimal(std::string_view word) {
    long v = 0;
    for (char c : word) {
        if (c < '0' || c > '9') break;
        v = v * 10 + (c - '0');
        if (v > 1000000) break;
    }
    return v;
}

bool isByteLiteral(std::string_view word) { return ClassifyNumber(word) == kNumberByte; }
uint8_t byteOf(std::string_view word) { return static_cast<uint8_t>(ParseWordValue(word) & 0xFF); }

}  // namespace

int declareVariable(ScriptEngine& engine, VarType type, std::string_view rest, const SourcePosition& at) {
    const ScalarCodes codes = scalarCodes(type);
    const std::string_view name = firstWord(rest);
    const std::string_view after = trimBlanks(afterFirstWord(rest));
    if (name.empty() || (!after.empty() && after.front() != '=')) return engine.setError(codes.invalidStatement);

    auto var = std::make_unique<ScriptVariable>();
    var->name = std::string(name);
    var->type = type;
    var->at = at;
    const std::string_view value = after.empty() ? std::string_view() : trimBlanks(after.substr(1));
    // A value that is no number (a variable name) is left to the stored statement.
    const int code = value.empty() ? 0 : ClassifyNumber(value);
    if (code > 0) {
        if (!literalFits(type, code)) return engine.setError(codes.invalidAssignment);
        switch (type) {
            case VarType::Byte: var->byteSlot = static_cast<uint8_t>(ParseWordValue(value)); break;
            case VarType::Word: var->wordSlot = ParseWordValue(value); break;
            case VarType::Long: var->longSlot = ParseLong(value); break;
            case VarType::Double: var->doubleSlot = std::strtod(std::string(value).c_str(), nullptr); break;
        }
    }
    if (engine.tables().variables.find(name)) return engine.setError(codes.duplicate);
    engine.tables().variables.add(std::move(var));
    return 0;
}

int declareBuffer(ScriptEngine& engine, std::string_view rest, const SourcePosition& at) {
    const std::string_view name = firstWord(rest);
    if (engine.tables().buffers.find(name)) return engine.setError(err::BUFF_HANDLER_DUPLICATE_NAME_DETECTED);
    const std::string_view after = afterFirstWord(rest);
    const size_t open = after.find('['), close = after.find(']');
    if (name.empty() || open == std::string_view::npos || close == std::string_view::npos || close < open)
        return engine.setError(err::BUFF_HANDLER_INVALID_SIZE_SPECIFIER);
    const std::string_view sizeText = trimBlanks(after.substr(open + 1, close - open - 1));
    const int code = ClassifyNumber(sizeText);
    if (sizeText.empty() || (code != kNumberByte && code != kNumberWord && code != kNumberLong))
        return engine.setError(err::BUFF_HANDLER_INVALID_SIZE_SPECIFIER);
    const uint64_t size = ParseLong(sizeText);

    const LoadLimits& limits = engine.limits();
    if (size > limits.maxBufferBytes || engine.bufferBytes() + size > limits.maxTotalBufferBytes)
        return engine.setError(err::BUFF_HANDLER_ADD_BUFFER_ERROR);
    auto buffer = std::make_unique<ScriptBuffer>();
    buffer->name = std::string(name);
    buffer->at = at;
    try {
        buffer->storage.assign(static_cast<size_t>(size), 0);
    } catch (const std::bad_alloc&) {
        return engine.setError(err::BUFF_HANDLER_ADD_BUFFER_ERROR);
    }
    engine.bufferBytes() += size;
    engine.tables().buffers.add(std::move(buffer));
    return 0;
}

int declareCdb(ScriptEngine& engine, std::string_view rest, const SourcePosition& at) {
    ScriptTables& t = engine.tables();
    const std::string_view name = firstWord(rest);
    if (t.cdbs.find(name)) return engine.setError(err::CDB_DUPLICATE_NAME_DETECTED);
    std::string body(afterFirstWord(rest));
    if (body.find('{') == std::string::npos) return engine.setError(err::CDB_MISSING_LEFT_BRACE);
    if (body.find('}') == std::string::npos) return engine.setError(err::CDB_MISSING_RIGHT_BRACE);
    blankOut(body, "{},");
    WordReader words(body);

    auto cdb = std::make_unique<ScriptCdb>();
    cdb->name = std::string(name);
    cdb->at = at;
    const long length = leadingDecimal(words.next());
    if (length != 6 && length != 10 && length != 12) return engine.setError(err::CDB_INVALID_CDB_LENGTH_SPECIFIED);
    cdb->length = static_cast<uint8_t>(length);

    const std::string_view direction = words.next();
    if (equalsUpper(direction, "FROMHOST")) cdb->dataOut = true;
    else if (!equalsUpper(direction, "NONE") && !equalsUpper(direction, "TOHOST"))
        return engine.setError(err::CDB_INVALID_DIRECTION_SPECIFIED);

    const std::string_view bufferWord = words.next();
    if (bufferWord.empty()) return engine.setError(err::CDB_HANDLER_UNKNOWN_BUFFER_SPECIFIED);
    if (bufferWord.front() != '0') {
        ScriptBuffer* buffer = t.buffers.find(bufferWord);
        if (!buffer) return engine.setError(err::CDB_HANDLER_UNKNOWN_BUFFER_SPECIFIED);
        cdb->bufferName = buffer->name;
        cdb->buffer = buffer;
        cdb->bufferSize = buffer->size();
        cdb->transferLength = buffer->size();
    }

    const std::string_view opcode = words.next();
    if (isByteLiteral(opcode)) cdb->bytes[0] = byteOf(opcode);
    else if (auto named = findScsiCommand(opcode)) cdb->bytes[0] = *named;
    else return engine.setError(err::CDB_INVALID_SCSI_COMMAND_SPECIFIER);

    for (size_t i = 1; i < cdb->length; ++i) {
        const std::string_view word = words.next();
        if (word.empty()) return engine.setError(err::CDB_INVALID_NUMBER_OF_CDB_BYTES);
        const int code = ClassifyNumber(word);
        if (code > kNumberByte) return engine.setError(err::CDB_INVALID_SCSI_VALUE_TYPE_SPECIFIER);
        cdb->bytes[i] = code == kNumberByte ? byteOf(word) : 0;  // no number at all: 0
    }

    if (words.rest().size() > 1) {
        const std::string_view action = words.next();
        size_t count = 0;
        if (equalsUpper(action, "DATA")) {
            cdb->action = CdbAction::Data;
            count = 4;
        } else if (equalsUpper(action, "CHECK")) {
            cdb->action = CdbAction::Check;
            count = 3;
        } else {
            return engine.setError(err::CDB_INVALID_ACTION_SPECIFIED);
        }
        for (size_t i = 0; i < count; ++i) {
            const std::string_view value = words.next();
            if (value.empty()) return engine.setError(err::CDB_INVALID_NUMBER_OF_ACTION_VALUES);
            cdb->actionValues[i] = byteOf(value);
        }
        if (!words.atEnd()) return engine.setError(err::CDB_UNKNOWN_TEXT_AFTER_ACTION_DETECTED);
    }
    t.cdbs.add(std::move(cdb));
    return 0;
}

int declareSenseKeys(ScriptEngine& engine, std::string_view rest, const SourcePosition& at) {
    SenseKeyTable& table = engine.tables().senseKeys;
    std::string body(rest);
    blankOut(body, ",");
    WordReader words(body);
    auto entry = std::make_unique<SenseKeyEntry>();
    entry->at = at;

    std::string_view sk = words.next();
    const int code = ClassifyNumber(sk);
    if (sk.empty() || code > kNumberByte) return engine.setError(err::SENSE_KEY_HANDLER_1ST_VALUE_ERROR);
    if (code != kNumberByte) {
        if (table.hasTag(sk)) return engine.setError(err::SK_HANDLER_DUPLICATE_TAG_DETECTED);
        entry->tag = std::string(sk);
        sk = words.next();
    }
    if (!LooksLikeNumber(sk)) return engine.setError(err::SENSE_KEY_HANDLER_1ST_VALUE_ERROR);
    entry->senseKey = byteOf(sk);

    const std::string_view asc = words.next();
    if (equalsUpper(asc, "XX")) entry->everyAsc = true;
    else if (LooksLikeNumber(asc)) entry->asc = byteOf(asc);
    else return engine.setError(err::SENSE_KEY_HANDLER_2ND_VALUE_ERROR);

    const std::string_view ascq = words.next();
    if (equalsUpper(ascq, "XX")) entry->everyAscq = true;
    else if (!LooksLikeNumber(ascq)) return engine.setError(err::SENSE_KEY_HANDLER_3RD_VALUE_ERROR);
    else if (entry->everyAsc) return engine.setError(err::SENSEKEY_HANDLER_3RD_SPEC_WITH_2ND_NOT);
    else entry->ascq = byteOf(ascq);

    if (table.matchesAny(entry->senseKey, entry->asc, entry->ascq))
        return engine.setError(err::SENSE_KEY_HANDLER_DUPLICATE_SENSE_KEY_DETECTED);
    entry->text = std::string(words.rest());
    if (entry->text.empty()) return engine.setError(err::SENSE_KEY_HANDLER_MISSING_TEXT_FIELD);
    if (!table.add(std::move(entry))) return engine.setError(err::SENSE_KEY_HANDLER_ADD_KEY_ERROR);
    return 0;
}

int declareLogPage(ScriptEngine& engine, std::string_view rest, const SourcePosition& at) {
    ScriptTables& t = engine.tables();
    const std::string_view name = firstWord(rest);
    if (t.logPages.find(name)) return engine.setError(err::LOGPAGE_HANDLER_DUPLICATE_NAME_DETECTED);
    std::string body(afterFirstWord(rest));
    auto count = [&](char c) { return std::count(body.begin(), body.end(), c); };
    if (count('{') != 1) return engine.setError(err::LOGPAGE_HANDLER_LEFT_BRACKET_MISSING);
    if (count('}') != 1) return engine.setError(err::LOGPAGE_HANDLER_RIGHT_BRACKET_MISSING);
    blankOut(body, "{},");
    const std::string_view pageCode = firstWord(body);
    if (!LooksLikeNumber(pageCode)) return engine.setError(err::LOGPAGE_HANDLER_UNKNOWN_PAGEID_SPECIFIED);
    ScriptBuffer* buffer = t.buffers.find(trimBlanks(afterFirstWord(body)));
    if (!buffer) return engine.setError(err::LOGPAGE_HANDLER_INVALID_BUFFER_SPECIFIED);

    auto page = std::make_unique<LogPageObject>();
    page->name = std::string(name);
    page->pageCode = ParseWordValue(pageCode);
    page->kind = logPageKindOf(page->pageCode);
    page->buffer = buffer;
    page->bufferSize = buffer->size();
    page->at = at;
    if (name.empty() || !t.logPages.add(std::move(page))) return engine.setError(err::LOGPAGE_HANDLER_ADD_PAGE_ERROR);
    return 0;
}

int declareColor(ScriptEngine& engine, std::string_view rest, const SourcePosition& at) {
    std::string body(rest);
    blankOut(body, ",");
    WordReader words(body);
    const std::string_view name = words.next();
    if (name.empty()) return engine.setError(err::COLOR_HANDLER_MISSING_NAME_TAG_ARGUMENT);
    if (engine.tables().colors.find(name)) return engine.setError(err::COLOR_HANDLER_DUPLICATE_NAME_DETECTED);
    auto color = std::make_unique<ColorEntry>();
    color->name = std::string(name);
    color->at = at;
    struct Component {
        uint8_t* value;
        int32_t missing, invalid;
    };
    const Component components[] = {
        {&color->red, err::COLOR_HANDLER_MISSING_RED_ARGUMENT, err::COLOR_HANDLER_INVALID_RED_ARGUMENT},
        {&color->green, err::COLOR_HANDLER_MISSING_GREEN_ARGUMENT, err::COLOR_HANDLER_INVALID_GREEN_ARGUMENT},
        {&color->blue, err::COLOR_HANDLER_MISSING_BLUE_ARGUMENT, err::COLOR_HANDLER_INVALID_BLUE_ARGUMENT},
    };
    for (const Component& part : components) {
        const std::string_view word = words.next();
        if (word.empty()) return engine.setError(part.missing);
        if (!isByteLiteral(word)) return engine.setError(part.invalid);
        *part.value = byteOf(word);
    }
    if (!engine.tables().colors.add(std::move(color))) return engine.setError(err::COLOR_HANDLER_ADD_COLOR_ERROR);
    return 0;
}

int declareFile(ScriptEngine& engine, std::string_view rest, const SourcePosition& at) {
    const std::string_view tag = firstWord(rest);
    if (tag.empty()) return engine.setError(err::UNRECOGNIZABLE_LINE);
    if (engine.tables().files.find(tag)) return engine.setError(err::K_FILE_DUPLICATE_FILE_TAG_SPECIFIED);
    auto file = std::make_unique<FileEntry>();
    file->name = std::string(tag);
    file->at = at;
    if (!engine.tables().files.add(std::move(file))) return engine.setError(err::K_FILE_ADD_TO_LIST_ERROR);
    return 0;
}

int declareChart(ScriptEngine& engine, std::string_view rest, const SourcePosition& at) {
    WordReader words(rest);
    const std::string_view tag = words.next();
    if (tag.empty()) return engine.setError(err::UNRECOGNIZABLE_LINE);
    if (engine.tables().charts.find(tag)) return engine.setError(err::K_CHART_DUPLICATE_CHART_TAG_SPECIFIED);
    auto chart = std::make_unique<ChartEntry>();
    chart->name = std::string(tag);
    chart->at = at;
    for (auto w = words.next(); !w.empty(); w = words.next()) chart->extra.emplace_back(w);
    engine.tables().charts.add(std::move(chart));
    return 0;
}

int declareLabel(ScriptEngine& engine, std::string_view text, const ScriptSymbol& position) {
    WordReader words(text);
    std::string_view name = words.next();
    bool published = false;
    if (equalsUpper(name, "EXTERNAL")) {
        published = true;
        name = words.next();
    }
    if (name.empty() || !words.atEnd()) return engine.setError(err::INVALID_SYMBOL_USAGE_DETECTED);
    if (engine.tables().symbols.find(name)) return engine.setError(err::SYMBOL_DUPLICATION_DETECTED);
    auto symbol = std::make_unique<ScriptSymbol>(position);
    symbol->name = std::string(name);
    symbol->published = published;
    if (!engine.tables().symbols.add(std::move(symbol))) return engine.setError(err::SYMBOL_ADDLINK_ERROR);
    return 0;
}

int checkInternalSenseLine(ScriptEngine& engine, std::string_view line) {
    struct Trigger {
        std::string_view word;
        int32_t badValue;
    };
    static constexpr Trigger kTriggers[] = {
        {"SK", err::K_PHASE1_ILLEGAL_INTERNAL_SK_VALUE_ASSIGNMENT},
        {"ASC", err::K_PHASE1_ILLEGAL_INTERNAL_ASC_VALUE_ASSIGNMENT},
        {"ASCQ", err::K_PHASE1_ILLEGAL_INTERNAL_ASCQ_VALUE_ASSIGNMENT},
        {"ILI", err::PHASE1_ILLEGAL_INTERNAL_ILI_VALUE_ASSIGNMENT},
        {"EOM", err::PHASE1_ILLEGAL_INTERNAL_EOM_VALUE_ASSIGNMENT},
        {"FM", err::PHASE1_ILLEGAL_INTERNAL_FM_VALUE_ASSIGNMENT},
    };
    WordReader words(line);
    words.next();  // the '*'
    const std::string_view word = words.next();
    const std::string_view value = words.next();
    for (const Trigger& t : kTriggers) {
        if (!equalsUpper(word, t.word)) continue;
        if (value.empty()) return engine.setError(err::K_PHASE1_INTERNAL_TRIGGER_MISSING_ARG);
        if (!isByteLiteral(value)) return engine.setError(t.badValue);
        return 0;
    }
    return engine.setError(err::K_PHASE1_UNKNOWN_INTERNAL_TRIGGER_DETECTED);
}

}  // namespace vexal::script
