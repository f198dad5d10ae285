// The SCSI statements: argument checks. The executor hands the requests to the document's
// command path.
#include <fstream>

#include "script/number_literals.h"
#include "script/script_error_codes.h"
#include "script/script_text.h"
#include "script/statement_handlers.h"

namespace vexal::script {
namespace {

constexpr std::initializer_list<VarType> kByte{VarType::Byte};
constexpr std::initializer_list<VarType> kWord{VarType::Word};
constexpr std::initializer_list<VarType> kLong{VarType::Long};

// A statement whose only argument is a variable of one type.
int oneVariable(StatementContext& ctx, std::initializer_list<VarType> types, int32_t unknownCode, int32_t typeCode) {
    return ctx.needVariable(trimBlanks(ctx.args), types, unknownCode, typeCode);
}

bool isCount(StatementContext& ctx, std::string_view word) {
    return !word.empty() && (IsNumberLiteral(word) || ctx.variable(word));
}

}  // namespace

int stmtScsi(StatementContext& ctx) {
    return ctx.tables().cdbs.find(trimBlanks(ctx.args)) ? 0 : ctx.fail(err::SCSI_UNKNOWN_CDB_SPECIFIED);
}

int stmtModCdb(StatementContext& ctx) {
    WordReader words(ctx.args);
    const std::string_view name = words.next();
    if (name.empty()) return ctx.fail(err::MODCDB_CDB_IDX_VALUE_MISSING);
    const ScriptCdb* cdb = ctx.tables().cdbs.find(name);
    if (!cdb) return ctx.fail(err::MODCDB_INVALID_CDB_SPECIFIED);
    const std::string_view index = words.next();
    if (index.empty()) return ctx.fail(err::MODCDB_IDX_VALUE_MISSING);
    if (ClassifyNumber(index) != kNumberByte) return ctx.fail(err::MODCDB_INVALID_TYPE_INDEX_SPECIFIED);
    const uint16_t at = ParseWordValue(index);
    if (at == 0 || at >= cdb->length) return ctx.fail(err::MODCDB_IDX_RANGE_SPECIFIED);  // byte 0 is the opcode
    const std::string_view value = words.next();
    if (value.empty()) return ctx.fail(err::MODCDB_CDB_VALUE_MISSING);
    if (ClassifyNumber(value) == kNumberByte) return 0;
    return ctx.needVariable(value, kByte, err::MODCDB_INVALID_VALUE_TYPE_SPECIFIED, err::MODCDB_VALUE_VARIABLE_TYPE);
}

int stmtReadNoCompare(StatementContext& ctx) {
    WordReader words(ctx.args);
    if (!ctx.tables().cdbs.find(words.next())) return ctx.fail(err::READ_UNKNOWN_CDB_SPECIFIED);
    if (!isCount(ctx, words.next())) return ctx.fail(err::READ_UNKNOWN_ITERATION_COUNT_SPECIFIED);
    const std::string_view result = words.next();
    if (result.empty()) return ctx.fail(err::K_READ_MISSING_RETURN_LONG_VARIABLE_ARGUMENT);
    return ctx.needVariable(result, kLong, err::K_READ_UNKNOWN_RETURN_LONG_VARIABLE_SPECIFIED,
                            err::K_READ_UNKNOWN_RETURN_ARGUMENT_NOT_A_LONG);
}

int stmtReadCompare(StatementContext& ctx) {
    WordReader words(ctx.args);
    if (!ctx.tables().cdbs.find(words.next())) return ctx.fail(err::READ_COMPARE_UNKNOWN_CDB_SPECIFIED);
    if (!isCount(ctx, words.next())) return ctx.fail(err::READ_COMPARE_UNKNOWN_ITERATION_SPECIFIED);
    struct Result {
        std::initializer_list<VarType> types;
        int32_t unknown, type;
    };
    const Result results[] = {
        {kByte, err::READ_COMPARE_UNKNOWN_STATUS_BYTE_VARIABLE, err::READ_COMPARE_INVALID_STATUS_BYTE_TYPE_SPECIFIED},
        {kLong, err::READ_COMPARE_UNKNOWN_ERROR_AT_LONG_VARIABLE, err::READ_COMPARE_INVALID_ERROR_AT_LONG_TYPE_SPECIFIED},
        {kLong, err::READ_COMPARE_UNKNOWN_ADDRESS_LONG_VARIABLE, err::READ_COMPARE_INVALID_ADDRESS_LONG_TYPE_SPECIFIED},
        {kByte, err::READ_COMPARE_UNKNOWN_READ_BYTE_VARIABLE, err::READ_COMPARE_INVALID_READ_BYTE_TYPE_SPECIFIED},
        {kByte, err::READ_COMPARE_UNKNOWN_WROTE_BYTE_VARIABLE, err::READ_COMPARE_INVALID_WROTE_BYTE_TYPE_SPECIFIED},
    };
    for (const Result& r : results)
        if (ctx.needVariable(words.next(), r.types, r.unknown, r.type)) return 1;
    return 0;
}

int stmtWrite(StatementContext& ctx) {
    std::string_view args = trimBlanks(ctx.args);
    if (!args.empty() && args.front() == '#') args.remove_prefix(1);
    WordReader words(args);
    if (!ctx.tables().cdbs.find(words.next())) return ctx.fail(err::SCSI_UNKNOWN_CDB_SPECIFIED);
    const std::string_view count = words.next();
    if (!IsNumberLiteral(count) &&
        ctx.needVariable(count, kLong, err::WRITE_UNKNOWN_ITERATION_COUNT_SPECIFIED, err::K_WRITE_INVALID_COUNT_VARIABLE_TYPE_SPECIFIED))
        return 1;
    const std::string_view result = words.next();
    if (result.empty()) return ctx.fail(err::K_WRITE_MISSING_RETURN_COUNT_VARIABLE);
    return ctx.needVariable(result, kLong, err::K_WRITE_UNKNOWN_RETURN_VARIABLE_SPECIFIED,
                            err::K_WRITE_INVALID_RETURN_VARIABLE_TYPE_SPECIFIED);
}

int stmtGetSense(StatementContext& ctx) {
    const auto words = splitWords(ctx.args);
    if (words.empty()) return ctx.fail(err::GETSENSE_MISSING_ARGS_1_2_3);
    if (words.size() == 1) return ctx.fail(err::GETSENSE_MISSING_ARGS_2_3);
    if (words.size() == 2) return ctx.fail(err::GETSENSE_MISSING_ARG_3);
    const int32_t codes[3][2] = {{err::GETSENSE_INVALID_V1_ARG, err::GETSENSE_V1_ARG_MUST_BE_A_BYTE},
                                 {err::GETSENSE_INVALID_V2_ARG, err::GETSENSE_V2_ARG_MUST_BE_A_BYTE},
                                 {err::GETSENSE_INVALID_V3_ARG, err::GETSENSE_V3_ARG_MUST_BE_A_BYTE}};
    for (size_t i = 0; i < 3; ++i)
        if (ctx.needVariable(words[i], kByte, codes[i][0], codes[i][1])) return 1;
    return 0;
}

int stmtGetIliStatus(StatementContext& ctx) {
    return oneVariable(ctx, kByte, err::K_GET_ILI_STATUS_INVALID_VARIABLE_SPECIFIED, err::K_GET_ILI_STATUS_INVALID_VARIABLE_TYPE);
}
int stmtGetEomStatus(StatementContext& ctx) {
    return oneVariable(ctx, kByte, err::K_GET_EOM_STATUS_INVALID_VARIABLE_SPECIFIED, err::K_GET_EOM_STATUS_INVALID_VARIABLE_TYPE);
}
int stmtGetFmStatus(StatementContext& ctx) {
    return oneVariable(ctx, kByte, err::K_GET_FM_STATUS_INVALID_VARIABLE_SPECIFIED, err::K_GET_FM_STATUS_INVALID_VARIABLE_TYPE);
}
int stmtGetHaStatus(StatementContext& ctx) {
    return oneVariable(ctx, kLong, err::GET_HA_STATUS_INVALID_VARIABLE_SPECIFIED, err::GET_HA_STATUS_INVALID_VARIABLE_TYPE);
}
int stmtGetScsiTimeout(StatementContext& ctx) {
    return oneVariable(ctx, kLong, err::GET_SCSI_TO_INVALID_VARIABLE_SPECIFIED, err::GET_SCSI_TO_INVALID_VARIABLE_TYPE);
}

int stmtSetScsiTimeout(StatementContext& ctx) {
    const std::string_view value = trimBlanks(ctx.args);
    if (const ScriptVariable* v = ctx.variable(value))
        return v->type == VarType::Long ? 0 : ctx.fail(err::SET_SCSI_TO_INVALID_VARIABLE_TYPE);
    const int code = ClassifyNumber(value);
    if (value.empty() || (code != kNumberByte && code != kNumberWord && code != kNumberLong))
        return ctx.fail(err::SET_SCSI_TO_INVALID_NUMBER_SPECIFIED);
    return 0;
}

int stmtBusDeviceReset(StatementContext& ctx) {
    return oneVariable(ctx, kWord, err::K_BUSDEVICERESET_MISSING_RETURN_ARGUMENT, err::K_BUSDEVICERESET_VARIABLE_NOT_A_WORD);
}
int stmtGetDriveType(StatementContext& ctx) {
    return oneVariable(ctx, kByte, err::GET_DRIVETYPE_INVALID_VARIABLE_SPECIFIED, err::GET_DRIVETYPE_INVALID_VARIABLE_TYPE_SPECIFIED);
}
int stmtGetSuppressStatus(StatementContext& ctx) {
    return oneVariable(ctx, kByte, err::K_GET_SUPPRESS_STATUS_NO_VARIABLE_SPECIFIED, err::K_GET_SUPPRESS_STATUS_INVALID_VARIABLE_TYPE);
}

// The destination word (SCREEN, LOG, BOTH or none) is read when the statement runs; any
// other word prints nothing and is no error.
int stmtGetInqInfo(StatementContext&) { return 0; }
int stmtLogSenseKeys(StatementContext&) { return 0; }
int stmtPrintSenseKeys(StatementContext&) { return 0; }

int stmtGetFwImgChkSum(StatementContext& ctx) {
    WordReader words(ctx.args);
    if (!ctx.buffer(words.next())) return ctx.fail(err::GET_FW_IMG_CHKSUM_INVALID_BUFFER_SPECIFIED);
    return words.atEnd() ? ctx.fail(err::GET_FW_IMG_CHKSUM_INVALID_NUMBER_OF_ARGS) : 0;
}

int stmtFup(StatementContext& ctx) {
    ctx.state().fupSeen = true;
    std::string text(ctx.args);
    blankOut(text, "\"");
    const std::string_view name = trimBlanks(text);
    if (name.empty()) return ctx.fail(err::FUP_NO_FILE_SPECIFIED);
    if (const ScriptBuffer* buffer = ctx.buffer(firstWord(name))) {
        // The file name is the buffer's text when the statement runs.
        return buffer->size() < 260 ? ctx.fail(err::FUP_BUFFER_SPECIFIED_REQUIRED_TO_BE_AT_LEAST_260) : 0;
    }
    std::ifstream image(ctx.engine.statementFile(name), std::ios::binary);
    return image ? 0 : ctx.fail(err::FUP_UNABLE_TO_OPEN_FILE_SPECIFIED);
}

}  // namespace vexal::script
