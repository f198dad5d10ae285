// SERIAL and BAUD. Both are refused while no serial port object is connected to the
// engine, in phase 2 as when they run. The engine's serial session opens its port the
// first time a script needs it; the transaction itself lives in serial/.
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "script/number_literals.h"
#include "script/script_error_codes.h"
#include "script/script_text.h"
#include "script/script_values.h"
#include "script/statement_handlers.h"
#include "serial/baud_codes.h"
#include "serial/serial_session.h"

namespace vexal::script {
namespace {

constexpr size_t kMaxSerialText = 128;
// The longest wait a SERIAL statement can ask for: the time-out in milliseconds is a
// 32-bit count.
constexpr double kMaxTimeoutSeconds = 4294967.295;

bool isQuoted(std::string_view w) {
    std::string text;
    return unquote(w, text);
}

// Connected: the engine has a session whose port is open (or opens now), or, with no
// session, the engine was told a port is there (loading only).
bool portConnected(StatementContext& ctx) {
    if (serial::SerialSession* s = ctx.engine.serialSession()) return s->ensureOpen();
    return ctx.engine.serialPortConnected() && !ctx.executing();
}

// A buffer's text: up to its first zero byte, never past its end.
std::string bufferText(const ScriptBuffer& b) {
    size_t n = 0;
    while (n < b.storage.size() && b.storage[n] != 0) ++n;
    return std::string(b.storage.begin(), b.storage.begin() + static_cast<std::ptrdiff_t>(n));
}

// The text of a command or termination word at run time: a buffer's text, or the quoted
// text; 0 or the error code for a length outside 1 to 128.
int32_t serialText(StatementContext& ctx, const std::string& word, int32_t bufferCode, int32_t quotedCode,
                   std::string& text) {
    if (const ScriptBuffer* b = ctx.buffer(word)) {
        text = bufferText(*b);
        return text.empty() || text.size() > kMaxSerialText ? bufferCode : 0;
    }
    unquote(word, text);
    return text.empty() || text.size() > kMaxSerialText ? quotedCode : 0;
}

// Seconds: a variable of any type, or an integer literal, or a literal with a point.
double timeoutSeconds(StatementContext& ctx, const std::string& word) {
    if (const ScriptVariable* v = ctx.variable(word)) return numericValue(*v);
    if (ClassifyNumber(word) == kNumberDouble) return std::strtod(word.c_str(), nullptr);
    return ParseLong(word);
}

std::chrono::milliseconds timeoutOf(double seconds) {
    // A negative or undefined time-out (a DOUBLE variable) waits not at all.
    if (!(seconds > 0)) return std::chrono::milliseconds(0);
    return std::chrono::milliseconds(static_cast<int64_t>(std::llround(std::min(seconds, kMaxTimeoutSeconds) * 1000)));
}

serial::SerialAction actionOf(const std::string& word) {
    if (equalsUpper(word, "CTRLA")) return serial::SerialAction::CtrlA;
    if (equalsUpper(word, "CTRLZ")) return serial::SerialAction::CtrlZ;
    if (equalsUpper(word, "BREAK")) return serial::SerialAction::Break;
    return serial::SerialAction::None;
}

void storeLong(ScriptVariable& v, uint32_t value) {
    v.longSlot = value;
    v.set = true;
}

void storeByte(ScriptVariable& v, uint8_t value) {
    v.byteSlot = value;
    v.set = true;
}

// The run-time part of SERIAL, after the checks both phases make.
int runSerial(StatementContext& ctx, const std::vector<std::string>& w) {
    serial::SerialRequest request;
    if (ctx.buffer(w[0]) || isQuoted(w[0])) {
        if (const int32_t code = serialText(ctx, w[0], err::KRT_SERIAL_ARG1_CMDSTR_BUFFER_NOT_PRIMED,
                                            err::KRT_SERIAL_ARG1_CMDSTR_TEXT_LENGTH_ERROR, request.command))
            return ctx.fail(code);
    } else {
        request.action = actionOf(w[0]);
    }
    ScriptBuffer* destination = ctx.buffer(w[1]);
    if (!destination) {
        const FileEntry* file = ctx.tables().files.find(w[1]);
        // Write, binary, no append. The FILE object carries no stream the serial side can
        // write to yet, so an open one is refused as not open rather than losing the data.
        if (!file || file->mode < 0) return ctx.fail(err::KRT_SERIAL_ARG2_FILE_SPECIFIED_NOT_OPEN);
        if (file->mode != 3) return ctx.fail(err::KRT_SERIAL_ARG2_FILE_SPECIFIED_INCORRECT_MODE);
        return ctx.fail(err::KRT_SERIAL_ARG2_FILE_SPECIFIED_NOT_OPEN);
    }
    if (const int32_t code = serialText(ctx, w[2], err::KRT_SERIAL_ARG3_TERMINATIONSTR_BUFFER_NOT_PRIMED,
                                        err::KRT_SERIAL_ARG3_TERMINATIONSTR_TEXT_LENGTH_ERROR, request.termination))
        return ctx.fail(code);
    request.timeout = timeoutOf(timeoutSeconds(ctx, w[3]));
    request.destination.buffer = destination->storage.data();
    request.destination.capacity = destination->storage.size();
    ScriptVariable& byteCount = *ctx.variable(w[4]);
    ScriptVariable& status = *ctx.variable(w[5]);
    storeLong(byteCount, 0);
    const serial::SerialOutcome outcome = ctx.engine.serialSession()->transact(request);
    // The completing byte of the phrase is stored but not counted.
    if (outcome.byteCount > 0 || outcome.status == serial::kSerialTerminated) destination->primed = true;
    storeLong(byteCount, outcome.byteCount);
    storeByte(status, outcome.status);
    return 0;
}

}  // namespace

int stmtSerial(StatementContext& ctx) {
    if (!portConnected(ctx)) return ctx.fail(err::K_SERIAL_COMMPORT_NOT_CONNECTED);
    std::vector<std::string> w;
    if (!splitQuotedWords(ctx.args, w)) return ctx.fail(err::K_SERIAL_PARSING_ERROR);
    if (w.size() != 6) return ctx.fail(err::K_SERIAL_ILLEGAL_NUMBER_OF_ARGS_DETECTED);
    const std::string& command = w[0];
    if (!ctx.buffer(command) && !isQuoted(command) && actionOf(command) == serial::SerialAction::None)
        return ctx.fail(err::K_SERIAL_INVALID_ARG1_COMMAND_STR);
    if (!ctx.buffer(w[1]) && !ctx.tables().files.find(w[1])) return ctx.fail(err::K_SERIAL_INVALID_ARG2_RETURN_BUFFER);
    if (!ctx.buffer(w[2]) && !isQuoted(w[2])) return ctx.fail(err::K_SERIAL_INVALID_ARG3_TERMINATION_PHRASE);
    if (!IsNumberLiteral(w[3]) && !ctx.variable(w[3])) return ctx.fail(err::K_SERIAL_INVALID_ARG4_TIMEOUT_SPECIFIER);
    if (ctx.needVariable(w[4], {VarType::Long}, err::K_SERIAL_INVALID_ARG5_NUMBER_OF_BYTES_VARIABLE,
                         err::K_SERIAL_INVALID_ARG5_NUMBER_OF_BYTES_VARIABLE_TYPE))
        return 1;
    if (ctx.needVariable(w[5], {VarType::Byte}, err::K_SERIAL_INVALID_ARG6_RETURN_STATUS_VARIABLE,
                         err::K_SERIAL_INVALID_ARG6_RETURN_STATUS_VARIABLE_TYPE))
        return 1;
    return ctx.executing() ? runSerial(ctx, w) : 0;
}

int stmtBaud(StatementContext& ctx) {
    if (!portConnected(ctx)) return ctx.fail(err::K_BAUD_COMMPORT_NOT_CONNECTED);
    const std::string_view rate = trimBlanks(ctx.args);
    uint32_t code = 0;
    if (IsNumberLiteral(rate)) {
        code = ParseWordValue(rate);
        if (ClassifyNumber(rate) != kNumberByte || serial::baudRateForCode(code) == 0)
            return ctx.fail(err::K_BAUD_ARG1_NUMBER_OUT_OF_RANGE);
    } else {
        if (ctx.needVariable(rate, {VarType::Byte}, err::K_BAUD_INVALID_ARG1_RATE_SPECIFIER,
                             err::K_BAUD_INVALID_ARG1_RATE_VTYPE_SPECIFIER))
            return 1;
        if (!ctx.executing()) return 0;
        code = ctx.variable(rate)->byteSlot;
        if (serial::baudRateForCode(code) == 0) return ctx.fail(err::KRT_BAUD_ARG1_NUMBER_OUT_OF_RANGE);
    }
    if (!ctx.executing()) return 0;
    // The port keeps its previous speed when the line refuses the new one; the script
    // finds out from its next SERIAL.
    ctx.engine.serialSession()->setBaudRate(serial::baudRateForCode(code));
    return 0;
}

}  // namespace vexal::script
