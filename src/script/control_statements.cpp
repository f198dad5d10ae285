// Control flow and the statements that talk to the operator. Each handler checks its
// arguments in both phases and acts only when the engine is executing.
#include <chrono>
#include <cstdlib>
#include <thread>

#include "operator/operator.h"

#include "script/number_literals.h"
#include "script/script_error_codes.h"
#include "script/script_text.h"
#include "script/script_values.h"
#include "script/statement_handlers.h"

namespace vexal::script {
namespace {

int labelStatement(StatementContext& ctx, int32_t missingCode, int32_t unknownCode) {
    const std::string_view label = trimBlanks(ctx.args);
    if (label.empty()) return ctx.fail(missingCode);
    if (!ctx.isSymbol(label)) return ctx.fail(unknownCode);
    return 0;
}

bool validVector(StatementContext& ctx) {
    return ctx.record.vector >= 0 && static_cast<size_t>(ctx.record.vector) < ctx.tables().statements.size();
}

// The action of IF, IFSENSE and IFNOSENSE once its condition holds.
int performAction(StatementContext& ctx) {
    switch (ctx.record.action) {
        case BranchAction::Jump:
            if (!validVector(ctx)) return ctx.fail(err::JUMP_INVALID_VECTOR_ERROR);
            ctx.engine.jumpTo(ctx.record.vector);
            return 0;
        case BranchAction::Call:
            if (!validVector(ctx)) return ctx.fail(err::CALL_INVALID_VECTOR_ERROR);
            return ctx.engine.callTo(ctx.record.vector) ? 0 : ctx.fail(err::CALL_DEPTH_EXCEEDED);
        case BranchAction::Return: {
            const int32_t code = ctx.engine.returnFromCall();
            return code != 0 ? ctx.fail(code) : 0;
        }
        case BranchAction::None: return 0;
    }
    return 0;
}

// The value of a number literal (read by `parse`) or of a BYTE or WORD variable.
template <typename Parse>
uint32_t shortValueOf(StatementContext& ctx, Parse parse) {
    const std::string_view value = trimBlanks(ctx.args);
    if (const ScriptVariable* v = ctx.variable(value)) return integerValue(*v);
    return parse(value);
}

// "\r" and "\n" become a carriage return and a line feed; other backslashes stay.
std::string withEscapes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'r' || text[i + 1] == 'n')) {
            out.push_back(text[i + 1] == 'r' ? '\r' : '\n');
            ++i;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

// The text of a buffer up to its first zero byte.
std::string bufferText(const ScriptBuffer& buffer) {
    size_t length = 0;
    while (length < buffer.storage.size() && buffer.storage[length] != 0) ++length;
    return std::string(reinterpret_cast<const char*>(buffer.storage.data()), length);
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
int messageStatement(StatementContext& ctx, int32_t tooLongCode, ui::Icon icon) {
    std::string text(ctx.args);
    blankOut(text, "\"");
    std::string shown(trimBlanks(text));
    if (const ScriptBuffer* buffer = ctx.buffer(firstWord(shown))) {
        shown = bufferText(*buffer);
        if (shown.size() > 1023) return ctx.fail(tooLongCode);
    }
    if (ctx.executing() && ctx.engine.op())
        ctx.engine.op()->message(withEscapes(shown), "Vexal", icon, ui::Buttons::Ok, ui::Button::Ok);
    return 0;
}

using Comparison = bool (*)(double, double);

Comparison comparisonOf(std::string_view op) {
    if (op == "==") return [](double a, double b) { return a == b; };
    if (op == "!=") return [](double a, double b) { return a != b; };
    if (op == "<=") return [](double a, double b) { return a <= b; };
    if (op == ">=") return [](double a, double b) { return a >= b; };
    if (op == "<") return [](double a, double b) { return a < b; };
    if (op == ">") return [](double a, double b) { return a > b; };
    return nullptr;
}

// An IF operand at run time: literals of codes 1, 2 and 4 as 32-bit values, 8 as a
// floating value; variables of any type (read when the comparison is made).
struct ParsedOperand {
    const ScriptVariable* variable = nullptr;
    double literal = 0;
    double value() const { return variable ? numericValue(*variable) : literal; }
};

bool parseOperand(StatementContext& ctx, std::string_view word, ParsedOperand& operand) {
    if (const ScriptVariable* v = ctx.variable(word)) {
        operand.variable = v;
        return true;
    }
    switch (ClassifyNumber(word)) {
        case kNumberByte:
        case kNumberWord:
        case kNumberLong: operand.literal = ParseLong(word); return true;
        case kNumberDouble: operand.literal = std::strtod(std::string(word).c_str(), nullptr); return true;
        default: return false;
    }
}

struct ParsedComparison {
    ParsedOperand a, b;
    Comparison compare = nullptr;
    int connective = 1;  // 1: first or after AND, 2: after OR
};

// The condition of one IF statement, parsed at its first execution.
struct ParsedCondition {
    std::vector<ParsedComparison> comparisons;
};

// A true comparison after OR decides for true; otherwise a false comparison that is the
// first or follows AND decides for false.
int evaluateIf(StatementContext& ctx, const ParsedCondition& condition) {
    if (condition.comparisons.empty()) return ctx.fail(err::IF_NO_EVALUATIONS_PRESENT);
    bool anyOrTrue = false, anyAndFalse = false;
    for (const ParsedComparison& c : condition.comparisons) {
        const bool result = c.compare(c.a.value(), c.b.value());
        if (c.connective == 2 && result) anyOrTrue = true;
        if (c.connective == 1 && !result) anyAndFalse = true;
    }
    return (anyOrTrue || !anyAndFalse) ? performAction(ctx) : 0;
}

// IF once its condition is parsed; the action needs no text.
int fastIf(ScriptEngine& engine, StatementRecord& record) {
    StatementContext ctx{engine, record, {}};
    return evaluateIf(ctx, *static_cast<const ParsedCondition*>(record.runForm.get()));
}

// JUMP and CALL once their linked vector is known to be valid; RETURN always.
int fastJump(ScriptEngine& engine, StatementRecord& record) {
    engine.jumpTo(record.vector);
    return 0;
}

int fastCall(ScriptEngine& engine, StatementRecord& record) {
    return engine.callTo(record.vector) ? 0 : engine.setError(err::CALL_DEPTH_EXCEEDED);
}

int fastReturn(ScriptEngine& engine, StatementRecord&) {
    const int32_t code = engine.returnFromCall();
    return code != 0 ? engine.setError(code) : 0;
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

// IFSENSE's selector against the last sense: ANY, a SENSEKEYS tag, or "sk asc ascq" where
// asc and ascq may be XX.
bool senseSelected(StatementContext& ctx, std::string_view selector) {
    const LastSense& s = ctx.engine.lastSense();
    if (equalsUpper(selector, "ANY")) return s.senseKey != LastSense::kNone;
    uint8_t sk = 0, asc = 0, ascq = 0;
    bool everyAsc = false, everyAscq = false;
    if (const SenseKeyEntry* entry = ctx.tables().senseKeys.findTag(selector)) {
        sk = entry->senseKey;
        asc = entry->asc;
        ascq = entry->ascq;
        everyAsc = entry->everyAsc;
        everyAscq = entry->everyAscq;
    } else {
        WordReader words(ctx.args);
        sk = static_cast<uint8_t>(ParseLong(words.next()));
        const std::string_view ascWord = words.next(), ascqWord = words.next();
        everyAsc = equalsUpper(ascWord, "XX");
        everyAscq = equalsUpper(ascqWord, "XX");
        asc = everyAsc ? 0 : static_cast<uint8_t>(ParseLong(ascWord));
        ascq = everyAscq ? 0 : static_cast<uint8_t>(ParseLong(ascqWord));
    }
    if (s.senseKey != sk) return false;
    if (everyAsc) return everyAscq;
    if (s.asc != asc) return false;
    return everyAscq || s.ascq == ascq;
}

}  // namespace

int stmtJump(StatementContext& ctx) {
    // Linked at load time: the label was checked then and names the same statement now.
    if (ctx.executing() && validVector(ctx)) {
        ctx.record.fastRun = fastJump;  // the list does not change during a run
        ctx.engine.jumpTo(ctx.record.vector);
        return 0;
    }
    if (labelStatement(ctx, err::JUMP_NO_VALUE_SPECIFIED, err::JUMP_UNKNOWN_VECTOR_ERROR) != 0) return 1;
    if (!ctx.executing()) return 0;
    ctx.record.action = BranchAction::Jump;
    return performAction(ctx);
}

int stmtCall(StatementContext& ctx) {
    if (ctx.executing() && validVector(ctx)) {
        ctx.record.fastRun = fastCall;
        return fastCall(ctx.engine, ctx.record);
    }
    if (labelStatement(ctx, err::CALL_NO_VECTOR_SPECIFIED, err::CALL_UNKNOWN_VECTOR_ERROR) != 0) return 1;
    if (!ctx.executing()) return 0;
    ctx.record.action = BranchAction::Call;
    return performAction(ctx);
}

int stmtReturn(StatementContext& ctx) {
    if (!ctx.executing()) return 0;
    ctx.record.action = BranchAction::Return;
    ctx.record.fastRun = fastReturn;
    return performAction(ctx);
}

int stmtExit(StatementContext& ctx) {
    if (shortValue(ctx, err::NO_VALUE_SPECIFIED, err::UNABLE_TO_IDENTIFY_EXIT_SPECIFIER, err::VARIABLE_TYPE_ERROR) != 0)
        return 1;
    if (!ctx.executing()) return 0;
    ctx.state().exitValue = static_cast<uint16_t>(shortValueOf(ctx, [](std::string_view v) { return ParseWordValue(v); }));
    ctx.engine.requestStop();
    return 0;
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
    if (shortValue(ctx, err::SLEEP_NO_VALUE_SPECIFIED, err::SLEEP_UNABLE_TO_IDENTIFY_SLEEP_SPECIFIER,
                   err::SLEEP_VARIABLE_TYPE_ERROR) != 0)
        return 1;
    if (!ctx.executing()) return 0;
    const uint32_t ms = shortValueOf(ctx, [](std::string_view v) { return ParseLong(v); });
    // Slept in slices so that an abort or a stop request does not wait out a long sleep.
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    document::CFalderDoc* doc = ctx.engine.document();
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= end || ctx.engine.stopRequested() || (doc && doc->abortRequested.load())) break;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(end - now, std::chrono::milliseconds(50)));
    }
    return 0;
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

int stmtLog(StatementContext& ctx) {
    if (trimBlanks(ctx.args).empty()) return ctx.fail(err::LOG_NO_VALUE_SPECIFIED);
    if (ctx.executing() && ctx.engine.output()) ctx.engine.output()->writeLog(4, ctx.args);
    return 0;
}

int stmtMsg(StatementContext& ctx) {
    if (trimBlanks(ctx.args).empty()) return ctx.fail(err::MSG_NO_VALUE_SPECIFIED);
    if (ctx.executing() && ctx.engine.output())
        ctx.engine.output()->addToView(std::string(kScriptMessagePrefix) + std::string(ctx.args));
    return 0;
}

int stmtPass(StatementContext& ctx) {
    return messageStatement(ctx, err::K_PASS_UNINITIALIZED_BUFFER_SPECIFED, ui::Icon::Information);
}
int stmtFail(StatementContext& ctx) {
    const int rc = messageStatement(ctx, err::K_FAIL_UNINITIALIZED_BUFFER_SPECIFED, ui::Icon::Stop);
    if (rc == 0 && ctx.executing()) ++ctx.state().failStatements;  // the run's outcome
    return rc;
}

int stmtInstruct(StatementContext& ctx) {
    if (trimBlanks(ctx.args).empty()) return ctx.fail(err::INSTRUCT_NO_VALUE_SPECIFIED);
    // The trigger word splits the text from the label.
    size_t triggers = 0;
    std::string_view before, label, trigger;
    WordReader words(ctx.args);
    for (auto w = words.next(); !w.empty(); w = words.next()) {
        if (!equalsUpper(w, "ONOK") && !equalsUpper(w, "ONCANCEL")) continue;
        if (triggers++ == 0) {
            trigger = w;
            before = trimBlanks(ctx.args.substr(0, static_cast<size_t>(w.data() - ctx.args.data())));
            label = words.rest();
        }
    }
    if (triggers == 0) return ctx.fail(err::INSTRUCT_NO_VECTOR_DETECTED);
    if (triggers > 1) return ctx.fail(err::INSTRUCT_TOO_MANY_VECTORS_SPECIFIED);
    if (before.empty()) return ctx.fail(err::INSTRUCT_NO_VALUE_SPECIFIED);
    if (!ctx.isSymbol(label)) return ctx.fail(err::INSTRUCT_INVALID_VECTOR_SPECIFIED);
    if (!ctx.executing() || !ctx.engine.op()) return 0;
    const bool onOk = equalsUpper(trigger, "ONOK");
    const ui::Button pressed = ctx.engine.op()->message(withEscapes(before), "Vexal", ui::Icon::Question,
                                                         ui::Buttons::OkCancel, ui::Button::Ok);
    if ((onOk && pressed == ui::Button::Ok) || (!onOk && pressed == ui::Button::Cancel)) {
        if (!validVector(ctx)) return ctx.fail(err::JUMP_INVALID_VECTOR_ERROR);
        ctx.engine.jumpTo(ctx.record.vector);
    }
    return 0;
}

int stmtIf(StatementContext& ctx) {
    if (ctx.executing() && ctx.record.runForm)
        return evaluateIf(ctx, *static_cast<const ParsedCondition*>(ctx.record.runForm.get()));
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
    if (checkCondition(ctx, ctx.args.substr(0, at)) != 0) return 1;
    if (!ctx.executing()) return 0;

    std::vector<ParsedComparison> comparisons;
    const std::vector<std::string_view> words = splitWords(ctx.args.substr(0, at));
    int connective = 1;
    for (size_t i = 0; i + 2 < words.size();) {
        ParsedComparison c;
        c.compare = comparisonOf(words[i + 1]);
        if (!parseOperand(ctx, words[i], c.a)) return ctx.fail(err::IF_UNKNOWN_ARG1_SPECIFIED);
        if (!c.compare) return ctx.fail(err::IF_MISSING_EVALUATOR);
        if (!parseOperand(ctx, words[i + 2], c.b)) return ctx.fail(err::IF_UNKNOWN_ARG2_SPECIFIED);
        c.connective = connective;
        comparisons.push_back(c);
        i += 3;
        if (i < words.size()) {
            if (equalsUpper(words[i], "AND")) {
                connective = 1;
                ++i;
            } else if (equalsUpper(words[i], "OR")) {
                connective = 2;
                ++i;
            }
        }
    }
    auto form = std::make_shared<const ParsedCondition>(ParsedCondition{std::move(comparisons)});
    ctx.record.runForm = form;
    ctx.record.fastRun = fastIf;
    return evaluateIf(ctx, *form);
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
    if (checkSenseAction(ctx, words.rest(),
                         {err::IFSENSE_UNKNOWN_VECTOR_ERROR, err::IFSENSE_UNKNOWN_VECTOR_ERROR,
                          err::IFSENSE_UNKNOWN_VECTOR_ERROR}) != 0)
        return 1;
    if (!ctx.executing()) return 0;
    return senseSelected(ctx, selector) ? performAction(ctx) : 0;
}

int stmtIfNoSense(StatementContext& ctx) {
    if (checkSenseAction(ctx, trimBlanks(ctx.args),
                         {err::IFNOSENSE_INVALID_JUMP_SYMBOL_SPECIFIED, err::IFNOSENSE_INVALID_CALL_SYMBOL_SPECIFIED,
                          err::IFNOSENSE_INVALID_IMPLIED_JUMP_SYMBOL_SPECIFIED}) != 0)
        return 1;
    if (!ctx.executing()) return 0;
    const LastSense& s = ctx.engine.lastSense();
    const bool none = s.senseKey == LastSense::kNone && s.asc == LastSense::kNone && s.ascq == LastSense::kNone;
    return none ? performAction(ctx) : 0;
}

}  // namespace vexal::script
