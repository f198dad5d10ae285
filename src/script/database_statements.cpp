// Results database statements: argument checks.
#include "script/number_literals.h"
#include "script/script_error_codes.h"
#include "script/script_text.h"
#include "script/statement_handlers.h"

namespace vexal::script {
namespace {

// The arguments of a database statement, each checked in turn.
struct Check {
    enum Kind { Buffer, Variable, Index } kind;
    std::initializer_list<VarType> types;
    int32_t unknown, type, wide;  // wide: an index literal wider than a word
};

Check buffer(int32_t code) { return {Check::Buffer, {}, code, code, 0}; }
Check variable(std::initializer_list<VarType> types, int32_t unknown, int32_t type) {
    return {Check::Variable, types, unknown, type, 0};
}
constexpr std::initializer_list<VarType> kByteOrWord{VarType::Byte, VarType::Word};
Check index(int32_t wide, int32_t type, int32_t unknown) { return {Check::Index, kByteOrWord, unknown, type, wide}; }

int checkAll(StatementContext& ctx, std::initializer_list<Check> checks) {
    WordReader words(ctx.args);
    for (const Check& c : checks) {
        const std::string_view w = words.next();
        switch (c.kind) {
            case Check::Buffer:
                if (!ctx.buffer(w)) return ctx.fail(c.unknown);
                break;
            case Check::Variable:
                if (ctx.needVariable(w, c.types, c.unknown, c.type)) return 1;
                break;
            case Check::Index: {
                const int code = ClassifyNumber(w);
                if (code == kNumberByte || code == kNumberWord) break;
                if (code > 0) return ctx.fail(c.wide);
                if (ctx.needVariable(w, c.types, c.unknown, c.type)) return 1;
                break;
            }
        }
    }
    return 0;
}

constexpr std::initializer_list<VarType> kWord{VarType::Word};

}  // namespace

int stmtDbOpen(StatementContext& ctx) {
    const ScriptBuffer* name = ctx.buffer(trimBlanks(ctx.args));
    if (!name) return ctx.fail(err::DB_OPEN_UNKNOWN_FILENAME_BUFFER);
    // The buffer names the file only once the script has put text into it; a buffer that
    // already holds a name is checked now.
    size_t length = 0;
    while (length < name->storage.size() && name->storage[length] != 0) ++length;
    if (length == 0) return 0;
    std::error_code ec;
    const std::string file(name->storage.begin(), name->storage.begin() + static_cast<std::ptrdiff_t>(length));
    return std::filesystem::is_regular_file(ctx.engine.statementFile(file), ec) ? 0 : ctx.fail(err::DB_OPEN_DB_FILE_ERROR);
}

int stmtDbClose(StatementContext&) { return 0; }
int stmtDbSave(StatementContext&) { return 0; }

int stmtDbPass(StatementContext& ctx) {
    return checkAll(ctx, {buffer(err::DB_PASS_UNKNOWN_MEDIA_BUFFER_SPECIFIED), buffer(err::DB_PASS_UNKNOWN_DRIVESN_BUFFER_SPECIFIED)});
}

int stmtDbFail(StatementContext& ctx) {
    if (checkAll(ctx, {buffer(err::DB_FAIL_UNKNOWN_MEDIA_BUFFER_SPECIFIED), buffer(err::DB_FAIL_UNKNOWN_DRIVESN_BUFFER_SPECIFIED),
                       buffer(err::DB_FAIL_UNKNOWN_BLOB_BUFFER_SPECIFIED)}))
        return 1;
    const auto w = splitWords(ctx.args);
    return ctx.buffer(w[2])->size() > 128 ? ctx.fail(err::DB_FAIL_BLOB_SIZE_ERROR) : 0;
}

int stmtDbQueryFolderCount(StatementContext& ctx) {
    return checkAll(ctx, {variable(kWord, err::DB_QFC_UNKNOWN_COUNT_VARIABLE_SPECIFIED, err::DB_QFC_INVALID_COUNT_VARIABLE_TYPE)});
}

int stmtDbQueryFolderEventCount(StatementContext& ctx) {
    return checkAll(ctx, {buffer(err::DB_QFEC_UNKNOWN_BUFFER_SPECIFIED),
                          variable(kWord, err::DB_QFEC_UNKNOWN_COUNT_VARIABLE_SPECIFIED, err::DB_QFEC_INVALID_COUNT_VARIABLE_TYPE_SPECIFIED)});
}

int stmtDbQueryFolderEventTimeStamp(StatementContext& ctx) {
    if (checkAll(ctx, {buffer(err::DB_QFETS_UNKNOWN_MEDIA_ID_BUFFER_SPECIFIED),
                       index(err::DB_QFETS_INVALID_EVENT_NUMBER_TYPE, err::DB_QFETS_INVALID_EVENT_VARIABLE_TYPE, err::DB_QFETS_UNKNOWN_EVENT_ARG),
                       buffer(err::DB_QFETS_UNKNOWN_TIMESTAMP_BUFFER_SPECIFIED)}))
        return 1;
    return ctx.buffer(splitWords(ctx.args)[2])->size() <= 5 ? ctx.fail(err::DB_QFETS_TIMESTAMP_BUFFER_TOO_SMALL_ERROR) : 0;
}

int stmtDbQueryFolderEventResult(StatementContext& ctx) {
    return checkAll(ctx, {buffer(err::DB_QFER_UNKNOWN_MEDIA_ID_BUFFER_SPECIFIED),
                          index(err::DB_QFER_INVALID_EVENT_NUMBER_TYPE, err::DB_QFER_INVALID_EVENT_VARIABLE_TYPE, err::DB_QFER_UNKNOWN_EVENT_ARG),
                          variable(kWord, err::DB_QFER_UNKNOWN_RESULT_ARG, err::DB_QFER_INVALID_RESULT_VARIABLE)});
}

int stmtDbQueryFolderEventDriveSn(StatementContext& ctx) {
    return checkAll(ctx, {buffer(err::DB_QFEDS_UNKNOWN_MEDIA_ID_BUFFER_SPECIFIED),
                          index(err::DB_QFEDS_INVALID_EVENT_NUMBER_TYPE, err::DB_QFEDS_INVALID_EVENT_VARIABLE_TYPE, err::DB_QFEDS_UNKNOWN_EVENT_ARG),
                          buffer(err::DB_QFEDS_UNKNOWN_SN_BUFFER_SPECIFIED)});
}

int stmtDbQueryMediaId(StatementContext& ctx) {
    return checkAll(ctx, {index(err::DB_QMI_INVALID_FOLDER_NUMBER_TYPE, err::DB_QMI_INVALID_FOLDER_VARIABLE_TYPE, err::DB_QMI_UNKNOWN_FOLDER_ARG),
                          buffer(err::DB_QMI_UNKNOWN_MEDIA_ID_BUFFER_SPECIFIED)});
}

int stmtDbQueryFolderRunCount(StatementContext& ctx) {
    return checkAll(ctx, {buffer(err::DB_QFRC_UNKNOWN_BUFFER_SPECIFIED),
                          variable(kWord, err::DB_QFRC_UNKNOWN_COUNT_VARIABLE_SPECIFIED, err::DB_QFRC_INVALID_COUNT_VARIABLE_TYPE_SPECIFIED)});
}
int stmtDbQueryFolderPassCount(StatementContext& ctx) {
    return checkAll(ctx, {buffer(err::DB_QFPC_UNKNOWN_BUFFER_SPECIFIED),
                          variable(kWord, err::DB_QFPC_UNKNOWN_COUNT_VARIABLE_SPECIFIED, err::DB_QFPC_INVALID_COUNT_VARIABLE_TYPE_SPECIFIED)});
}
int stmtDbQueryFolderFailCount(StatementContext& ctx) {
    return checkAll(ctx, {buffer(err::DB_QFFC_UNKNOWN_BUFFER_SPECIFIED),
                          variable(kWord, err::DB_QFFC_UNKNOWN_COUNT_VARIABLE_SPECIFIED, err::DB_QFFC_INVALID_COUNT_VARIABLE_TYPE_SPECIFIED)});
}
int stmtDbQueryFolderPercentage(StatementContext& ctx) {
    return checkAll(ctx, {buffer(err::DB_QFP_UNKNOWN_BUFFER_SPECIFIED),
                          variable({VarType::Double}, err::DB_QFP_UNKNOWN_COUNT_VARIABLE_SPECIFIED,
                                   err::DB_QFP_INVALID_COUNT_VARIABLE_TYPE_SPECIFIED)});
}

int stmtDbPrintMediaInformation(StatementContext& ctx) {
    return checkAll(ctx, {buffer(err::DB_PMI_UNKNOWN_MEDIA_BUFFER_SPECIFIED), buffer(err::DB_PMI_UNKNOWN_FILENAME_BUFFER_SPECIFIED)});
}
int stmtDbPrintDatabase(StatementContext& ctx) { return checkAll(ctx, {buffer(err::DB_PDB_UNKNOWN_BUFFER_SPECIFIED)}); }
int stmtDbDeleteFolder(StatementContext& ctx) { return checkAll(ctx, {buffer(err::DB_DF_UNKNOWN_BUFFER_SPECIFIED)}); }

}  // namespace vexal::script
