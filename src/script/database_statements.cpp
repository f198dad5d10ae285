// Results database statements: argument checks, then the work on the engine's database.
#include <algorithm>
#include <cmath>

#include "platform/ini_file.h"
#include "script/number_literals.h"
#include "script/run_data.h"
#include "script/script_error_codes.h"
#include "script/script_text.h"
#include "script/script_values.h"
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

// A buffer's text: its bytes up to the first zero byte.
std::string bufferText(const ScriptBuffer& b) {
    const auto zero = std::find(b.storage.begin(), b.storage.end(), uint8_t{0});
    return std::string(b.storage.begin(), zero);
}

std::string argText(StatementContext& ctx, size_t index) { return bufferText(*ctx.buffer(splitWords(ctx.args)[index])); }

// An index argument (checked): a literal or a BYTE or WORD variable.
uint32_t indexValue(StatementContext& ctx, size_t index) {
    const std::string_view w = splitWords(ctx.args)[index];
    if (const ScriptVariable* v = ClassifyNumber(w) > 0 ? nullptr : ctx.variable(w)) return integerValue(*v);
    return ParseWordValue(w);
}

void storeWord(StatementContext& ctx, size_t index, uint64_t value) { storeInteger(*ctx.variable(splitWords(ctx.args)[index]), value); }

// Copies `text` and its zero into the buffer; false when it does not fit.
bool copyText(ScriptBuffer& b, std::string_view text) {
    if (text.size() + 1 > b.storage.size()) return false;
    std::copy(text.begin(), text.end(), b.storage.begin());
    b.storage[text.size()] = 0;
    b.primed = true;
    return true;
}

ResultsDatabase& db(StatementContext& ctx) { return runData(ctx.engine).database; }

const DbEvent* eventAt(StatementContext& ctx, uint32_t index) {
    const DbFolder* f = db(ctx).find(argText(ctx, 0));
    return f && index < f->events.size() ? &f->events[index] : nullptr;
}

// The folder counters queries: media WORD.
int counterQuery(StatementContext& ctx, int32_t buf, int32_t unknown, int32_t type, int32_t noFolder, uint16_t DbFolder::*field) {
    if (checkAll(ctx, {buffer(buf), variable(kWord, unknown, type)})) return 1;
    if (!ctx.executing()) return 0;
    const DbFolder* f = db(ctx).find(argText(ctx, 0));
    if (!f) return ctx.fail(noFolder);
    storeWord(ctx, 1, f->*field);
    return 0;
}

bool writeReport(StatementContext& ctx, size_t nameIndex, const std::string& text) {
    const std::string name = argText(ctx, nameIndex);
    return !name.empty() && platform::writeFileAtomically(name, text);
}

}  // namespace

int stmtDbOpen(StatementContext& ctx) {
    const ScriptBuffer* name = ctx.buffer(trimBlanks(ctx.args));
    if (!name) return ctx.fail(err::DB_OPEN_UNKNOWN_FILENAME_BUFFER);
    // The buffer names the file only once the script has put text into it; a buffer that
    // already holds a name is checked now.
    size_t length = 0;
    while (length < name->storage.size() && name->storage[length] != 0) ++length;
    if (length == 0 && !ctx.executing()) return 0;
    std::error_code ec;
    const std::string file(name->storage.begin(), name->storage.begin() + static_cast<std::ptrdiff_t>(length));
    const std::filesystem::path path = ctx.engine.statementFile(file);
    if (!std::filesystem::is_regular_file(path, ec)) return ctx.fail(err::DB_OPEN_DB_FILE_ERROR);
    if (!ctx.executing()) return 0;
    switch (db(ctx).open(path)) {
        case DbLoadError::None: return 0;
        case DbLoadError::CannotRead: return ctx.fail(err::DB_OPEN_DB_FILE_ERROR);
        default: return ctx.fail(err::DB_OPEN_LOAD_DB_ERROR);
    }
}

int stmtDbClose(StatementContext& ctx) {
    if (ctx.executing()) db(ctx) = ResultsDatabase{};
    return 0;
}

int stmtDbSave(StatementContext& ctx) {
    if (!ctx.executing()) return 0;
    return db(ctx).save() ? 0 : ctx.fail(err::DB_SAVE_ERROR);
}

int stmtDbPass(StatementContext& ctx) {
    if (checkAll(ctx, {buffer(err::DB_PASS_UNKNOWN_MEDIA_BUFFER_SPECIFIED), buffer(err::DB_PASS_UNKNOWN_DRIVESN_BUFFER_SPECIFIED)}))
        return 1;
    if (!ctx.executing()) return 0;
    return db(ctx).addEvent(argText(ctx, 0), argText(ctx, 1), DbResult::Pass, {}, localTimeStamp())
               ? 0
               : ctx.fail(err::DB_PASS_INSERTION_ERROR);
}

int stmtDbFail(StatementContext& ctx) {
    if (checkAll(ctx, {buffer(err::DB_FAIL_UNKNOWN_MEDIA_BUFFER_SPECIFIED), buffer(err::DB_FAIL_UNKNOWN_DRIVESN_BUFFER_SPECIFIED),
                       buffer(err::DB_FAIL_UNKNOWN_BLOB_BUFFER_SPECIFIED)}))
        return 1;
    const ScriptBuffer& blob = *ctx.buffer(splitWords(ctx.args)[2]);
    if (blob.size() > kDbFailureData) return ctx.fail(err::DB_FAIL_BLOB_SIZE_ERROR);
    if (!ctx.executing()) return 0;
    return db(ctx).addEvent(argText(ctx, 0), argText(ctx, 1), DbResult::Fail, blob.storage, localTimeStamp())
               ? 0
               : ctx.fail(err::DB_FAIL_INSERTION_ERROR);
}

int stmtDbQueryFolderCount(StatementContext& ctx) {
    if (checkAll(ctx, {variable(kWord, err::DB_QFC_UNKNOWN_COUNT_VARIABLE_SPECIFIED, err::DB_QFC_INVALID_COUNT_VARIABLE_TYPE)})) return 1;
    if (ctx.executing()) storeWord(ctx, 0, db(ctx).folders().size());
    return 0;
}

int stmtDbQueryFolderEventCount(StatementContext& ctx) {
    return counterQuery(ctx, err::DB_QFEC_UNKNOWN_BUFFER_SPECIFIED, err::DB_QFEC_UNKNOWN_COUNT_VARIABLE_SPECIFIED,
                        err::DB_QFEC_INVALID_COUNT_VARIABLE_TYPE_SPECIFIED, err::DB_QFEC_FETCH_ERROR, &DbFolder::runs);
}

int stmtDbQueryFolderEventTimeStamp(StatementContext& ctx) {
    if (checkAll(ctx, {buffer(err::DB_QFETS_UNKNOWN_MEDIA_ID_BUFFER_SPECIFIED),
                       index(err::DB_QFETS_INVALID_EVENT_NUMBER_TYPE, err::DB_QFETS_INVALID_EVENT_VARIABLE_TYPE, err::DB_QFETS_UNKNOWN_EVENT_ARG),
                       buffer(err::DB_QFETS_UNKNOWN_TIMESTAMP_BUFFER_SPECIFIED)}))
        return 1;
    ScriptBuffer& out = *ctx.buffer(splitWords(ctx.args)[2]);
    if (out.size() <= 5) return ctx.fail(err::DB_QFETS_TIMESTAMP_BUFFER_TOO_SMALL_ERROR);
    if (!ctx.executing()) return 0;
    const DbEvent* e = eventAt(ctx, indexValue(ctx, 1));
    if (!e) return ctx.fail(err::DB_QFETS_TIMESTAMP_FETCH_ERROR);
    // Seconds come from a file: a value outside a byte (or not a number) is stored as 0.
    const double s = e->time.seconds;
    const uint8_t seconds = (s >= 0 && s < 256) ? static_cast<uint8_t>(s) : 0;
    const uint8_t bytes[6] = {e->time.hour, e->time.minute, seconds, e->time.month, e->time.day, static_cast<uint8_t>(e->time.year)};
    std::copy(std::begin(bytes), std::end(bytes), out.storage.begin());
    out.primed = true;
    return 0;
}

int stmtDbQueryFolderEventResult(StatementContext& ctx) {
    if (checkAll(ctx, {buffer(err::DB_QFER_UNKNOWN_MEDIA_ID_BUFFER_SPECIFIED),
                       index(err::DB_QFER_INVALID_EVENT_NUMBER_TYPE, err::DB_QFER_INVALID_EVENT_VARIABLE_TYPE, err::DB_QFER_UNKNOWN_EVENT_ARG),
                       variable(kWord, err::DB_QFER_UNKNOWN_RESULT_ARG, err::DB_QFER_INVALID_RESULT_VARIABLE)}))
        return 1;
    if (!ctx.executing()) return 0;
    const DbEvent* e = eventAt(ctx, indexValue(ctx, 1));
    if (!e) return ctx.fail(err::DB_QFER_RESULT_FETCH_ERROR);
    storeWord(ctx, 2, e->result);
    return 0;
}

int stmtDbQueryFolderEventDriveSn(StatementContext& ctx) {
    if (checkAll(ctx, {buffer(err::DB_QFEDS_UNKNOWN_MEDIA_ID_BUFFER_SPECIFIED),
                       index(err::DB_QFEDS_INVALID_EVENT_NUMBER_TYPE, err::DB_QFEDS_INVALID_EVENT_VARIABLE_TYPE, err::DB_QFEDS_UNKNOWN_EVENT_ARG),
                       buffer(err::DB_QFEDS_UNKNOWN_SN_BUFFER_SPECIFIED)}))
        return 1;
    if (!ctx.executing()) return 0;
    const DbEvent* e = eventAt(ctx, indexValue(ctx, 1));
    if (!e || !copyText(*ctx.buffer(splitWords(ctx.args)[2]), e->driveSerial)) return ctx.fail(err::DB_QFEDS_SN_FETCH_ERROR);
    return 0;
}

int stmtDbQueryMediaId(StatementContext& ctx) {
    if (checkAll(ctx, {index(err::DB_QMI_INVALID_FOLDER_NUMBER_TYPE, err::DB_QMI_INVALID_FOLDER_VARIABLE_TYPE, err::DB_QMI_UNKNOWN_FOLDER_ARG),
                       buffer(err::DB_QMI_UNKNOWN_MEDIA_ID_BUFFER_SPECIFIED)}))
        return 1;
    if (!ctx.executing()) return 0;
    const uint32_t i = indexValue(ctx, 0);
    const auto& folders = db(ctx).folders();
    if (i >= folders.size() || !copyText(*ctx.buffer(splitWords(ctx.args)[1]), folders[i].mediaId))
        return ctx.fail(err::DB_QMI_MEDIA_ID_FETCH_ERROR);
    return 0;
}

int stmtDbQueryFolderRunCount(StatementContext& ctx) {
    return counterQuery(ctx, err::DB_QFRC_UNKNOWN_BUFFER_SPECIFIED, err::DB_QFRC_UNKNOWN_COUNT_VARIABLE_SPECIFIED,
                        err::DB_QFRC_INVALID_COUNT_VARIABLE_TYPE_SPECIFIED, err::DB_QFRC_FETCH_ERROR, &DbFolder::runs);
}
int stmtDbQueryFolderPassCount(StatementContext& ctx) {
    return counterQuery(ctx, err::DB_QFPC_UNKNOWN_BUFFER_SPECIFIED, err::DB_QFPC_UNKNOWN_COUNT_VARIABLE_SPECIFIED,
                        err::DB_QFPC_INVALID_COUNT_VARIABLE_TYPE_SPECIFIED, err::DB_QFPC_FETCH_ERROR, &DbFolder::passes);
}
int stmtDbQueryFolderFailCount(StatementContext& ctx) {
    return counterQuery(ctx, err::DB_QFFC_UNKNOWN_BUFFER_SPECIFIED, err::DB_QFFC_UNKNOWN_COUNT_VARIABLE_SPECIFIED,
                        err::DB_QFFC_INVALID_COUNT_VARIABLE_TYPE_SPECIFIED, err::DB_QFFC_FETCH_ERROR, &DbFolder::fails);
}
int stmtDbQueryFolderPercentage(StatementContext& ctx) {
    if (checkAll(ctx, {buffer(err::DB_QFP_UNKNOWN_BUFFER_SPECIFIED),
                       variable({VarType::Double}, err::DB_QFP_UNKNOWN_COUNT_VARIABLE_SPECIFIED, err::DB_QFP_INVALID_COUNT_VARIABLE_TYPE_SPECIFIED)}))
        return 1;
    if (!ctx.executing()) return 0;
    const DbFolder* f = db(ctx).find(argText(ctx, 0));
    if (!f) return ctx.fail(err::DB_QFP_FETCH_ERROR);
    storeDouble(*ctx.variable(splitWords(ctx.args)[1]), ResultsDatabase::passPercentage(*f));
    return 0;
}

int stmtDbPrintMediaInformation(StatementContext& ctx) {
    if (checkAll(ctx, {buffer(err::DB_PMI_UNKNOWN_MEDIA_BUFFER_SPECIFIED), buffer(err::DB_PMI_UNKNOWN_FILENAME_BUFFER_SPECIFIED)})) return 1;
    if (!ctx.executing()) return 0;
    const DbFolder* f = db(ctx).find(argText(ctx, 0));
    return f && writeReport(ctx, 1, ResultsDatabase::folderReport(*f)) ? 0 : ctx.fail(err::DB_PMI_PRINT_ERROR);
}

int stmtDbPrintDatabase(StatementContext& ctx) {
    if (checkAll(ctx, {buffer(err::DB_PDB_UNKNOWN_BUFFER_SPECIFIED)})) return 1;
    if (!ctx.executing()) return 0;
    return !db(ctx).folders().empty() && writeReport(ctx, 0, db(ctx).databaseReport()) ? 0 : ctx.fail(err::DB_PDB_PRINT_ERROR);
}

int stmtDbDeleteFolder(StatementContext& ctx) {
    if (checkAll(ctx, {buffer(err::DB_DF_UNKNOWN_BUFFER_SPECIFIED)})) return 1;
    if (!ctx.executing()) return 0;
    return db(ctx).removeFolder(argText(ctx, 0)) ? 0 : ctx.fail(err::DB_DF_DELETE_ERROR);
}

}  // namespace vexal::script
