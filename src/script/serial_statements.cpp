// SERIAL and BAUD: argument checks. Both are refused while no serial port object is
// connected to the engine, in phase 2 as when they run.
#include <vector>

#include "script/number_literals.h"
#include "script/script_error_codes.h"
#include "script/script_text.h"
#include "script/statement_handlers.h"

namespace vexal::script {
namespace {

bool isQuoted(std::string_view w) {
    std::string text;
    return unquote(w, text);
}

}  // namespace

int stmtSerial(StatementContext& ctx) {
    if (!ctx.engine.serialPortConnected()) return ctx.fail(err::K_SERIAL_COMMPORT_NOT_CONNECTED);
    std::vector<std::string> w;
    if (!splitQuotedWords(ctx.args, w)) return ctx.fail(err::K_SERIAL_PARSING_ERROR);
    if (w.size() != 6) return ctx.fail(err::K_SERIAL_ILLEGAL_NUMBER_OF_ARGS_DETECTED);
    const std::string& command = w[0];
    if (!ctx.buffer(command) && !isQuoted(command) && !equalsUpper(command, "CTRLA") && !equalsUpper(command, "CTRLZ") &&
        !equalsUpper(command, "BREAK"))
        return ctx.fail(err::K_SERIAL_INVALID_ARG1_COMMAND_STR);
    if (!ctx.buffer(w[1]) && !ctx.tables().files.find(w[1])) return ctx.fail(err::K_SERIAL_INVALID_ARG2_RETURN_BUFFER);
    if (!ctx.buffer(w[2]) && !isQuoted(w[2])) return ctx.fail(err::K_SERIAL_INVALID_ARG3_TERMINATION_PHRASE);
    if (!IsNumberLiteral(w[3]) && !ctx.variable(w[3])) return ctx.fail(err::K_SERIAL_INVALID_ARG4_TIMEOUT_SPECIFIER);
    if (ctx.needVariable(w[4], {VarType::Long}, err::K_SERIAL_INVALID_ARG5_NUMBER_OF_BYTES_VARIABLE,
                         err::K_SERIAL_INVALID_ARG5_NUMBER_OF_BYTES_VARIABLE_TYPE))
        return 1;
    return ctx.needVariable(w[5], {VarType::Byte}, err::K_SERIAL_INVALID_ARG6_RETURN_STATUS_VARIABLE,
                            err::K_SERIAL_INVALID_ARG6_RETURN_STATUS_VARIABLE_TYPE);
}

int stmtBaud(StatementContext& ctx) {
    if (!ctx.engine.serialPortConnected()) return ctx.fail(err::K_BAUD_COMMPORT_NOT_CONNECTED);
    const std::string_view rate = trimBlanks(ctx.args);
    if (IsNumberLiteral(rate)) {
        const uint16_t code = ParseWordValue(rate);
        const bool known = ClassifyNumber(rate) == kNumberByte &&
                           (code == 9 || code == 19 || code == 38 || code == 57 || code == 115);
        return known ? 0 : ctx.fail(err::K_BAUD_ARG1_NUMBER_OUT_OF_RANGE);
    }
    return ctx.needVariable(rate, {VarType::Byte}, err::K_BAUD_INVALID_ARG1_RATE_SPECIFIER,
                            err::K_BAUD_INVALID_ARG1_RATE_VTYPE_SPECIFIER);
}

}  // namespace vexal::script
