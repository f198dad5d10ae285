// Control flow and the statements that talk to the operator: their argument checks. The
// executor adds what each does when it runs.
#include <cstdlib>

#include "script/number_literals.h"
#include "script/script_error_codes.h"
#include "script/script_text.h"
#include "script/statement_handlers.h"

namespace vexal::script {
namespace {

int labelStatement(StatementContext& ctx, int32_t missingCode, int32_t unknownCode) {
    const std::string_view label = trimBlanks(ctx.args);
    if (label.empty()) return ctx.fail(missingCode);
    if (!ctx.isSymbol(label)) return ctx.fail(unknownCode);
    return 0;
}

// A value that is a number literal or a BYTE or WORD variable (EXIT, SLEEP).
int shortValue(StatementContext& ctx, int32_t missingCode, int32_t unknownCode, int32_t typeCode) {
    const std::string_view value = trimBlanks(ctx.args);
    if (value.empty()) return ctx.fail(missingCode);
    if (const ScriptVariable* v = ctx.variable(value)) {
        if (v->type == VarType::Long || v->type == VarType::Double) return ctx.fail(typeCode);
        return 0;
    }
    if (!IsNumberLiteral(value)) return ctx.fail(unknownCode);
    return 0;
}

// PASS and FAIL show a text, or the text of the buffer their first word names.
int messageStatement(StatementContext& ctx, int32_t tooLongCode) {
    std::string text(ctx.args);
    blankOut(text, "\"");
    const ScriptBuffer* buffer = ctx.buffer(firstWord(trimBlanks(text)));
    if (!buffer) return 0;
    size_t length = 0;
    while (length < buffer->storage.size() && buffer->storage[length] != 0) ++length;
    return length > 1023 ? ctx.fail(tooLongCode) : 0;
}

bool isComparison(std::string_view op) {
    return op == "==" || op == "!=" || op == "<=" || op == ">=" || op == "<" || op == ">";
}

bool isOperand(StatementContext& ctx, std::string_view word) {
    return !word.empty() && (IsNumberLiteral(word) || ctx.variable(word));
}

// The condition of IF: comparisons joined by AND or OR.
int checkCondition(StatementContext& ctx, std::string_view condition) {
    const std::vector<std::string_view> words = splitWords(condition);
    size_t i = 0;
    while (i < words.size()) {
        if (!isOperand(ctx, words[i])) return ctx.fail(err::IF_UNKNOWN_ARG1_SPECIFIED);
        if (i + 1 >= words.size() || !isComparison(words[i + 1])) return ctx.fail(err::IF_MISSING_EVALUATOR);
        if (i + 2 >= words.size() || !isOperand(ctx, words[i + 2])) return ctx.fail(err::IF_UNKNOWN_ARG2_SPECIFIED);
        i += 3;
        if (i >= words.size()) break;
        const bool isAnd = equalsUpper(words[i], "AND"), isOr = equalsUpper(words[i], "OR");
        if (isAnd || isOr) {
            if (i + 1 >= words.size())
                return ctx.fail(isAnd ? err::IF_AND_AT_END_OFLINE_WITHOUT_AN_EXPRESSION
                                      : err::IF_OR_AT_END_OFLINE_WITHOUT_AN_EXPRESSION);
            ++i;
        }
    }
    return 0;
}

struct ActionCodes {
    int32_t jump, call, implied;
};

// The action that ends IFSENSE and IFNOSENSE: JUMP label, CALL label, RETURN or a bare label.
int checkSenseAction(StatementContext& ctx, std::string_view text, const ActionCodes& codes) {
    const std::string_view first = firstWord(text);
    const std::string_view after = trimBlanks(afterFirstWord(text));
    if (equalsUpper(first, "RETURN")) {
        ctx.record.action = BranchAction::Return;
        return 0;
    }
    if (equalsUpper(first, "JUMP") || equalsUpper(first, "CALL")) {
        const bool jump = equalsUpper(first, "JUMP");
        ctx.record.action = jump ? BranchAction::Jump : BranchAction::Call;
        return ctx.isSymbol(after) ? 0 : ctx.fail(jump ? codes.jump : codes.call);
    }
    ctx.record.action = BranchAction::Jump;
    return ctx.isSymbol(trimBlanks(text)) ? 0 : ctx.fail(codes.implied);
}

bool isSenseNumberOrXX(std::string_view word) { return equalsUpper(word, "XX") || LooksLikeNumber(word); }

}  // namespace

int stmtJump(StatementContext& ctx) { return labelStatement(ctx, err::JUMP_NO_VALUE_SPECIFIED, err::JUMP_UNKNOWN_VECTOR_ERROR); }
int stmtCall(StatementContext& ctx) { return labelStatement(ctx, err::CALL_NO_VECTOR_SPECIFIED, err::CALL_UNKNOWN_VECTOR_ERROR); }
int stmtReturn(StatementContext&) { return 0; }

int stmtExit(StatementContext& ctx) {
    return shortValue(ctx, err::NO_VALUE_SPECIFIED, err::UNABLE_TO_IDENTIFY_EXIT_SPECIFIER, err::VARIABLE_TYPE_ERROR);
}

int stmtOnError(StatementContext& ctx) {
    ++ctx.state().onErrorCount;
    const std::string_view label = trimBlanks(ctx.args);
    if (!ctx.isSymbol(label)) return ctx.fail(err::ONERROR_UNKNOWN_VECTOR_ERROR);
    if (ctx.executing()) ctx.state().errorVector = std::string(label);
    return 0;
}

int stmtOnCancel(StatementContext& ctx) {
    ++ctx.state().onCancelCount;
    const std::string_view label = trimBlanks(ctx.args);
    if (!ctx.isSymbol(label)) return ctx.fail(err::ONCANCEL_UNKNOWN_VECTOR_ERROR);
    if (ctx.executing()) ctx.state().cancelVector = std::string(label);
    return 0;
}

int stmtSleep(StatementContext& ctx) {
    return shortValue(ctx, err::SLEEP_NO_VALUE_SPECIFIED, err::SLEEP_UNABLE_TO_IDENTIFY_SLEEP_SPECIFIER,
                      err::SLEEP_VARIABLE_TYPE_ERROR);
}

int stmtVerbose(StatementContext& ctx) {
    const std::string_view word = trimBlanks(ctx.args);
    const bool on = equalsUpper(word, "ON");
    if (!on && !equalsUpper(word, "OFF")) return ctx.fail(err::VERBOSE_FLAG_UNKNOWN);
    if (ctx.executing()) ctx.state().verbose = on;
    return 0;
}

int stmtVersion(StatementContext& ctx) {
    const std::string_view value = trimBlanks(ctx.args);
    if (value.empty()) return ctx.fail(err::VERSION_NO_VALUE_SPECIFIED);
    ctx.state().version = std::strtof(std::string(value).c_str(), nullptr);
    return 0;
}

int stmtDescription(StatementContext& ctx) {
    ctx.state().descriptionSeen = true;
    ctx.state().description = std::string(trimBlanks(ctx.args));
    return 0;
}

int stmtLog(StatementContext& ctx) { return trimBlanks(ctx.args).empty() ? ctx.fail(err::LOG_NO_VALUE_SPECIFIED) : 0; }
int stmtMsg(StatementContext& ctx) { return trimBlanks(ctx.args).empty() ? ctx.fail(err::MSG_NO_VALUE_SPECIFIED) : 0; }
int stmtPass(StatementContext& ctx) { return messageStatement(ctx, err::K_PASS_UNINITIALIZED_BUFFER_SPECIFED); }
int stmtFail(StatementContext& ctx) { return messageStatement(ctx, err::K_FAIL_UNINITIALIZED_BUFFER_SPECIFED); }

int stmtInstruct(StatementContext& ctx) {
    if (trimBlanks(ctx.args).empty()) return ctx.fail(err::INSTRUCT_NO_VALUE_SPECIFIED);
    // The trigger word splits the text from the label.
    size_t triggers = 0;
    std::string_view before, label;
    WordReader words(ctx.args);
    for (auto w = words.next(); !w.empty(); w = words.next()) {
        if (!equalsUpper(w, "ONOK") && !equalsUpper(w, "ONCANCEL")) continue;
        if (triggers++ == 0) {
            before = trimBlanks(ctx.args.substr(0, static_cast<size_t>(w.data() - ctx.args.data())));
            label = words.rest();
        }
    }
    if (triggers == 0) return ctx.fail(err::INSTRUCT_NO_VECTOR_DETECTED);
    if (triggers > 1) return ctx.fail(err::INSTRUCT_TOO_MANY_VECTORS_SPECIFIED);
    if (before.empty()) return ctx.fail(err::INSTRUCT_NO_VALUE_SPECIFIED);
    if (!ctx.isSymbol(label)) return ctx.fail(err::INSTRUCT_INVALID_VECTOR_SPECIFIED);
    return 0;
}

int stmtIf(StatementContext& ctx) {
    const std::string upper = upperCopy(ctx.args);
    size_t at = upper.find(" CALL ");
    BranchAction action = BranchAction::Call;
    size_t phrase = 6;
    if (at == std::string::npos) {
        at = upper.find(" JUMP ");
        action = BranchAction::Jump;
    }
    if (at == std::string::npos) {
        at = upper.find(" RETURN");
        action = BranchAction::Return;
        phrase = 7;
    }
    if (at == std::string::npos || at == 0) return ctx.fail(err::IF_MISSING_CALL_OR_JUMP_OR_RETURN_VECTOR_PHRASE);
    ctx.record.action = action;
    if (action != BranchAction::Return && !ctx.isSymbol(trimBlanks(ctx.args.substr(at + phrase))))
        return ctx.fail(err::IF_INVALID_SYMBOL_VECTOR_SPECIFIED);
    return checkCondition(ctx, ctx.args.substr(0, at));
}

int stmtIfSense(StatementContext& ctx) {
    WordReader words(ctx.args);
    const std::string_view selector = words.next();
    if (!equalsUpper(selector, "ANY") && !ctx.tables().senseKeys.hasTag(selector)) {
        if (!LooksLikeNumber(selector)) return ctx.fail(err::IFSENSE_VALUE_1_ERROR);
        const std::string_view asc = words.next();
        if (!isSenseNumberOrXX(asc)) return ctx.fail(err::IFSENSE_VALUE_2_ERROR);
        const std::string_view ascq = words.next();
        if (!isSenseNumberOrXX(ascq) || (equalsUpper(asc, "XX") && !equalsUpper(ascq, "XX")))
            return ctx.fail(err::IFSENSE_VALUE_3_ERROR);
    }
    return checkSenseAction(ctx, words.rest(),
                            {err::IFSENSE_UNKNOWN_VECTOR_ERROR, err::IFSENSE_UNKNOWN_VECTOR_ERROR,
                             err::IFSENSE_UNKNOWN_VECTOR_ERROR});
}

int stmtIfNoSense(StatementContext& ctx) {
    return checkSenseAction(ctx, trimBlanks(ctx.args),
                            {err::IFNOSENSE_INVALID_JUMP_SYMBOL_SPECIFIED, err::IFNOSENSE_INVALID_CALL_SYMBOL_SPECIFIED,
                             err::IFNOSENSE_INVALID_IMPLIED_JUMP_SYMBOL_SPECIFIED});
}

}  // namespace vexal::script
