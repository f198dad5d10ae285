// The SCSI statements: argument checks in both phases; at run time they hand their
// requests to the document's command path and read back the outcome.
#include <fmt/printf.h>

#include <algorithm>
#include <fstream>

#include "device/device_library.h"
#include "device/inquiry_lines.h"
#include "firmware/firmware_update.h"
#include "script/number_literals.h"
#include "script/script_commands.h"
#include "script/script_values.h"
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

// A repeated transfer's count: a literal (codes 1 and 2 as 16 bits, 4 as 32 bits, 8
// truncated) or a variable's value.
uint32_t countValue(StatementContext& ctx, std::string_view word) {
    if (const ScriptVariable* v = ctx.variable(word)) return integerValue(*v);
    uint32_t value = 0;
    literalValue(word, value);
    return value;
}

// The device handle of the document's selected device, or -1.
int deviceHandle(StatementContext& ctx) {
    document::CFalderDoc* doc = ctx.engine.document();
    return doc ? doc->device().handle : -1;
}

// Sends `request`; a missing document is a run-time failure, not a silent success.
int send(StatementContext& ctx, command::CommandRequest request) {
    return SendScriptCommand(ctx.engine, std::move(request)) ? 0 : ctx.fail(err::EXE_UNKNOWN_CMD);
}

// The CDB's bytes and, for a script buffer, its storage and size as the CDB knows it.
command::CommandRequest cdbRequest(const ScriptCdb& cdb) {
    command::CommandRequest request;
    request.cdb.assign(cdb.bytes.begin(), cdb.bytes.begin() + cdb.length);
    request.toDevice = cdb.dataOut;
    return request;
}

uint32_t cdbBufferBytes(const ScriptCdb& cdb) {
    return cdb.buffer ? std::min<uint32_t>(cdb.bufferSize, cdb.buffer->size()) : 0;
}

// READNOCOMPARE, READCOMPARE and WRITE: the CDB `count` times with its buffer.
int repeatedTransfer(StatementContext& ctx, ScriptCdb& cdb, uint32_t count, bool write, bool compare,
                     command::ScriptTransferResult& outcome) {
    command::CommandRequest request = cdbRequest(cdb);
    request.code = write ? command::code::ScriptWrite : command::code::ScriptRead;
    request.count = static_cast<long>(count);
    request.transferLength = (uint32_t(cdb.bytes[2]) << 16) | (uint32_t(cdb.bytes[3]) << 8) | cdb.bytes[4];
    request.fixed = cdb.bytes[1] & 1;
    request.sili = !write && (cdb.bytes[1] & 2);
    request.compare = compare;
    request.scriptBuffer = cdb.buffer ? cdb.buffer->storage.data() : nullptr;
    request.scriptBufferSize = cdbBufferBytes(cdb);
    request.scriptResult = &outcome;
    if (send(ctx, std::move(request)) != 0) return 1;
    if (!write && !compare && cdb.buffer && outcome.commands > 0) cdb.buffer->primed = true;
    return 0;
}

// Where GETINQINFO, LOGSENSEKEYS and PRINTSENSEKEYS put a line.
enum Destination { kScreen = 1, kLog = 2 };

void print(StatementContext& ctx, int destination, const std::string& line) {
    command::CommandOutput* out = ctx.engine.output();
    if (!out) return;
    if (destination & kScreen) out->addToView(std::string(kScriptMessagePrefix) + line);
    if (destination & kLog) out->writeLog(4, line);
}

// The product family of byte 36's high nibble as GETINQINFO names it.
std::string_view scriptProductFamily(uint8_t byte36) {
    switch (byte36 >> 4) {
    case 0x0: return "Not Specified";
    case 0x1: case 0x8: return "40.0 / 80.0 GB";
    case 0x5: return "20.0 / 40.0 GB";
    case 0x7: return "35.0 / 70.0 GB";
    case 0xA: return "100.0+ / 200.0 GB";
    case 0xB: return "160.0 / 320.0 GB";
    case 0xC: return "300.0 / 600.0 GB";
    default: return "Unknown";
    }
}

// The identity data of the selected device as the scan read it.
std::vector<uint8_t> identityOf(StatementContext& ctx) {
    document::CFalderDoc* doc = ctx.engine.document();
    if (!doc) return {};
    const uint8_t* identity = nullptr;
    size_t length = 0;
    if (device::DevGetIdentity(doc->device().handle, &identity, &length) == 0 && identity && length > 0)
        return std::vector<uint8_t>(identity, identity + length);
    return doc->device().inquiryData();
}

// The sense line of LOGSENSEKEYS (log) or PRINTSENSEKEYS (screen).
std::string senseLine(StatementContext& ctx, bool forLog) {
    const LastSense& s = ctx.engine.lastSense();
    const SenseKeyEntry* entry = ctx.tables().senseKeys.match(s.senseKey, s.asc, s.ascq);
    if (forLog)
        return entry ? fmt::sprintf("Sense: CC:%02X  ASC:%02X  ASCQ:%02X  = %s\r\n", s.senseKey, s.asc, s.ascq, entry->text)
                     : fmt::sprintf("Sense: Unknown CC:%02X  ASC:%02X  ASCQ:%02X\n", s.senseKey, s.asc, s.ascq);
    return entry ? fmt::sprintf("Sense: CC: %02X  ASC: %02X  ASCQ: %02X  = %s", s.senseKey, s.asc, s.ascq, entry->text)
                 : fmt::sprintf("Sense: CC: %02X  ASC: %02X  ASCQ: %02X  = Unknown\n", s.senseKey, s.asc, s.ascq);
}

void store(StatementContext& ctx, std::string_view name, uint64_t value) {
    if (ScriptVariable* v = ctx.variable(name)) storeInteger(*v, value);
}

}  // namespace

int stmtScsi(StatementContext& ctx) {
    ScriptCdb* cdb = ctx.tables().cdbs.find(trimBlanks(ctx.args));
    if (!cdb) return ctx.fail(err::SCSI_UNKNOWN_CDB_SPECIFIED);
    if (!ctx.executing()) return 0;
    command::CommandRequest request = cdbRequest(*cdb);
    request.code = command::code::CreateCdb;
    if (cdb->buffer) {
        const uint8_t* storage = cdb->buffer->storage.data();
        request.data.assign(storage, storage + cdbBufferBytes(*cdb));
    }
    if (send(ctx, request) != 0) return 1;
    if (cdb->buffer && !cdb->dataOut) {
        // The data the device returned (the command layer copies it back into its request).
        const std::vector<uint8_t>& back = ctx.engine.document()->request().data;
        std::copy_n(back.begin(), std::min(back.size(), cdb->buffer->storage.size()), cdb->buffer->storage.begin());
        cdb->buffer->primed = true;
    }
    return 0;
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
    if (ClassifyNumber(value) != kNumberByte &&
        ctx.needVariable(value, kByte, err::MODCDB_INVALID_VALUE_TYPE_SPECIFIED, err::MODCDB_VALUE_VARIABLE_TYPE))
        return 1;
    if (!ctx.executing()) return 0;
    const ScriptVariable* v = ctx.variable(value);
    ctx.tables().cdbs.find(name)->bytes[at] = v ? v->byteSlot : static_cast<uint8_t>(ParseWordValue(value));
    return 0;
}

int stmtReadNoCompare(StatementContext& ctx) {
    WordReader words(ctx.args);
    ScriptCdb* cdb = ctx.tables().cdbs.find(words.next());
    if (!cdb) return ctx.fail(err::READ_UNKNOWN_CDB_SPECIFIED);
    const std::string_view count = words.next();
    if (!isCount(ctx, count)) return ctx.fail(err::READ_UNKNOWN_ITERATION_COUNT_SPECIFIED);
    const std::string_view result = words.next();
    if (result.empty()) return ctx.fail(err::K_READ_MISSING_RETURN_LONG_VARIABLE_ARGUMENT);
    if (ctx.needVariable(result, kLong, err::K_READ_UNKNOWN_RETURN_LONG_VARIABLE_SPECIFIED,
                         err::K_READ_UNKNOWN_RETURN_ARGUMENT_NOT_A_LONG))
        return 1;
    if (!ctx.executing()) return 0;
    command::ScriptTransferResult outcome;
    if (repeatedTransfer(ctx, *cdb, countValue(ctx, count), false, false, outcome)) return 1;
    store(ctx, result, outcome.commands);
    return 0;
}

int stmtReadCompare(StatementContext& ctx) {
    WordReader words(ctx.args);
    ScriptCdb* cdb = ctx.tables().cdbs.find(words.next());
    if (!cdb) return ctx.fail(err::READ_COMPARE_UNKNOWN_CDB_SPECIFIED);
    const std::string_view count = words.next();
    if (!isCount(ctx, count)) return ctx.fail(err::READ_COMPARE_UNKNOWN_ITERATION_SPECIFIED);
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
    std::string_view names[5];
    for (size_t i = 0; i < 5; ++i) {
        names[i] = words.next();
        if (ctx.needVariable(names[i], results[i].types, results[i].unknown, results[i].type)) return 1;
    }
    if (!ctx.executing()) return 0;
    command::ScriptTransferResult outcome;
    if (repeatedTransfer(ctx, *cdb, countValue(ctx, count), false, true, outcome)) return 1;
    store(ctx, names[0], outcome.status);
    store(ctx, names[1], outcome.errorAt);
    store(ctx, names[2], outcome.address);
    store(ctx, names[3], outcome.readByte);
    store(ctx, names[4], outcome.wroteByte);
    return 0;
}

int stmtWrite(StatementContext& ctx) {
    std::string_view args = trimBlanks(ctx.args);
    if (!args.empty() && args.front() == '#') args.remove_prefix(1);
    WordReader words(args);
    ScriptCdb* cdb = ctx.tables().cdbs.find(words.next());
    if (!cdb) return ctx.fail(err::SCSI_UNKNOWN_CDB_SPECIFIED);
    const std::string_view count = words.next();
    if (!IsNumberLiteral(count) &&
        ctx.needVariable(count, kLong, err::WRITE_UNKNOWN_ITERATION_COUNT_SPECIFIED, err::K_WRITE_INVALID_COUNT_VARIABLE_TYPE_SPECIFIED))
        return 1;
    const std::string_view result = words.next();
    if (result.empty()) return ctx.fail(err::K_WRITE_MISSING_RETURN_COUNT_VARIABLE);
    if (ctx.needVariable(result, kLong, err::K_WRITE_UNKNOWN_RETURN_VARIABLE_SPECIFIED,
                         err::K_WRITE_INVALID_RETURN_VARIABLE_TYPE_SPECIFIED))
        return 1;
    if (!ctx.executing()) return 0;
    command::ScriptTransferResult outcome;
    if (repeatedTransfer(ctx, *cdb, countValue(ctx, count), true, false, outcome)) return 1;
    store(ctx, result, outcome.commands);
    return 0;
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
    if (!ctx.executing()) return 0;
    const LastSense& s = ctx.engine.lastSense();
    store(ctx, words[0], s.senseKey);
    store(ctx, words[1], s.asc);
    store(ctx, words[2], s.ascq);
    return 0;
}

// A statement that stores one value into its only argument at run time.
template <typename Value>
int storeStatement(StatementContext& ctx, std::initializer_list<VarType> types, int32_t unknownCode,
                   int32_t typeCode, Value value) {
    if (oneVariable(ctx, types, unknownCode, typeCode)) return 1;
    if (!ctx.executing()) return 0;
    int64_t v = 0;
    if (int32_t code = value(v); code != 0) return ctx.fail(code);
    store(ctx, trimBlanks(ctx.args), static_cast<uint64_t>(v));
    return 0;
}

int stmtGetIliStatus(StatementContext& ctx) {
    return storeStatement(ctx, kByte, err::K_GET_ILI_STATUS_INVALID_VARIABLE_SPECIFIED,
                          err::K_GET_ILI_STATUS_INVALID_VARIABLE_TYPE,
                          [&](int64_t& v) { return v = ctx.engine.lastSense().ili, 0; });
}
int stmtGetEomStatus(StatementContext& ctx) {
    return storeStatement(ctx, kByte, err::K_GET_EOM_STATUS_INVALID_VARIABLE_SPECIFIED,
                          err::K_GET_EOM_STATUS_INVALID_VARIABLE_TYPE,
                          [&](int64_t& v) { return v = ctx.engine.lastSense().eom, 0; });
}
int stmtGetFmStatus(StatementContext& ctx) {
    return storeStatement(ctx, kByte, err::K_GET_FM_STATUS_INVALID_VARIABLE_SPECIFIED,
                          err::K_GET_FM_STATUS_INVALID_VARIABLE_TYPE,
                          [&](int64_t& v) { return v = ctx.engine.lastSense().fm, 0; });
}
int stmtGetHaStatus(StatementContext& ctx) {
    return storeStatement(ctx, kLong, err::GET_HA_STATUS_INVALID_VARIABLE_SPECIFIED,
                          err::GET_HA_STATUS_INVALID_VARIABLE_TYPE, [&](int64_t& v) {
                              v = device::DevLastError(deviceHandle(ctx));
                              return v == -1 ? err::GET_HA_STATUS_INTERNAL_ERROR : 0;
                          });
}
int stmtGetScsiTimeout(StatementContext& ctx) {
    return storeStatement(ctx, kLong, err::GET_SCSI_TO_INVALID_VARIABLE_SPECIFIED,
                          err::GET_SCSI_TO_INVALID_VARIABLE_TYPE, [&](int64_t& v) {
                              v = device::DevTimeout(deviceHandle(ctx), 0, 0);
                              return v == -1 ? err::GET_SCSI_TO_INTERNAL_ERROR : 0;
                          });
}

int stmtSetScsiTimeout(StatementContext& ctx) {
    const std::string_view value = trimBlanks(ctx.args);
    const ScriptVariable* v = ctx.variable(value);
    if (v && v->type != VarType::Long) return ctx.fail(err::SET_SCSI_TO_INVALID_VARIABLE_TYPE);
    const int code = ClassifyNumber(value);
    if (!v && (value.empty() || (code != kNumberByte && code != kNumberWord && code != kNumberLong)))
        return ctx.fail(err::SET_SCSI_TO_INVALID_NUMBER_SPECIFIED);
    if (!ctx.executing()) return 0;
    const uint32_t seconds = v ? v->longSlot : ParseLong(value);
    const int clamped = static_cast<int>(std::min<uint32_t>(seconds, 0x7FFFFFFF));
    return device::DevTimeout(deviceHandle(ctx), 1, clamped) == -1 ? ctx.fail(err::SET_SCSI_TO_INTERNAL_ERROR) : 0;
}

int stmtBusDeviceReset(StatementContext& ctx) {
    if (oneVariable(ctx, kWord, err::K_BUSDEVICERESET_MISSING_RETURN_ARGUMENT, err::K_BUSDEVICERESET_VARIABLE_NOT_A_WORD))
        return 1;
    if (!ctx.executing()) return 0;
    // Every transport here can reset a device, so the answer is always "sent".
    command::CommandRequest request;
    request.code = command::code::BusReset;
    if (send(ctx, std::move(request)) != 0) return 1;
    store(ctx, trimBlanks(ctx.args), 0);
    return 0;
}

int stmtGetDriveType(StatementContext& ctx) {
    return storeStatement(ctx, kByte, err::GET_DRIVETYPE_INVALID_VARIABLE_SPECIFIED,
                          err::GET_DRIVETYPE_INVALID_VARIABLE_TYPE_SPECIFIED, [&](int64_t& v) {
                              document::CFalderDoc* doc = ctx.engine.document();
                              v = doc ? doc->device().familyCode : 0;
                              return 0;
                          });
}

int stmtGetSuppressStatus(StatementContext& ctx) {
    return storeStatement(ctx, kByte, err::K_GET_SUPPRESS_STATUS_NO_VARIABLE_SPECIFIED,
                          err::K_GET_SUPPRESS_STATUS_INVALID_VARIABLE_TYPE, [&](int64_t& v) {
                              document::CFalderDoc* doc = ctx.engine.document();
                              v = (ctx.engine.suppressDialogs() || (doc && doc->suppressDialogs.load())) ? 1 : 0;
                              return 0;
                          });
}

// The destination word (SCREEN, LOG, BOTH or none) is read when the statement runs; any
// other word prints nothing and is no error.
int stmtGetInqInfo(StatementContext& ctx) {
    if (!ctx.executing()) return 0;
    const std::string where = upperCopy(firstWord(trimBlanks(ctx.args)));
    const int destination = where.empty() || where == "SCREEN" ? kScreen
                            : where == "LOG"                   ? kLog
                            : where == "BOTH"                  ? kScreen | kLog
                                                               : 0;
    if (destination == 0) return 0;
    const std::vector<uint8_t> identity = identityOf(ctx);
    for (const std::string& line : device::inquiryLines(identity.data(), identity.size(), {true, scriptProductFamily}))
        print(ctx, destination, line);
    return 0;
}

int stmtLogSenseKeys(StatementContext& ctx) {
    const std::string line = senseLine(ctx, true);
    if (ctx.executing()) print(ctx, kLog, line);
    return 0;
}

int stmtPrintSenseKeys(StatementContext& ctx) {
    const std::string line = senseLine(ctx, false);
    if (ctx.executing()) print(ctx, kScreen, line);
    return 0;
}

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
    std::string file(name);
    if (const ScriptBuffer* buffer = ctx.buffer(firstWord(name))) {
        if (buffer->size() < 260) return ctx.fail(err::FUP_BUFFER_SPECIFIED_REQUIRED_TO_BE_AT_LEAST_260);
        // The file name is the buffer's text when the statement runs.
        if (!ctx.executing()) return 0;
        const auto end = std::find(buffer->storage.begin(), buffer->storage.end(), uint8_t{0});
        file.assign(buffer->storage.begin(), end);
        if (file.size() > 260) return ctx.fail(err::FUP_UNINITIALIZED_BUFFER_SPECIFIED);
    }
    const std::filesystem::path path = ctx.engine.statementFile(file);
    if (!std::ifstream(path, std::ios::binary)) return ctx.fail(err::FUP_UNABLE_TO_OPEN_FILE_SPECIFIED);
    if (!ctx.executing()) return 0;

    const int result = ctx.engine.firmwareUpdate(path.string());
    const std::string& vector = result == firmware::kScriptUpdateCancelled ? ctx.state().cancelVector
                                : result == firmware::kScriptUpdateFailed  ? ctx.state().errorVector
                                                                           : std::string();
    if (result != firmware::kScriptUpdateCancelled && result != firmware::kScriptUpdateFailed) return 0;
    // A vector no ONERROR or ONCANCEL has set yet names nothing: the run cannot go on.
    return ctx.engine.jumpToLabel(vector) ? 0 : ctx.fail(err::JUMP_INVALID_VECTOR_ERROR);
}

}  // namespace vexal::script
