// Assignments: a variable, an operator, an operand. Phase 2 records the operator, the
// operand kind and a literal operand's value in the statement.
#include <cstdlib>

#include "script/number_literals.h"
#include "script/run_data.h"
#include "script/script_error_codes.h"
#include "script/script_text.h"
#include "script/script_values.h"
#include "script/statement_handlers.h"

namespace vexal::script {
namespace {

struct Operator {
    std::string_view text;
    AssignOp op;
};

// Tried in this order at the start of the text after the name.
constexpr Operator kOperators[] = {
    {"=", AssignOp::Set},      {"+=", AssignOp::Add},       {"-=", AssignOp::Sub},       {"/=", AssignOp::Div},
    {"*=", AssignOp::Mul},     {"&=", AssignOp::And},       {"|=", AssignOp::Or},        {"^=", AssignOp::Xor},
    {"%=", AssignOp::Mod},     {"<<=", AssignOp::ShiftLeft}, {">>=", AssignOp::ShiftRight},
};

}  // namespace

int validateAssignment(StatementContext& ctx) {
    StatementRecord& r = ctx.record;
    const std::string_view rest = trimBlanks(ctx.args);
    r.op = AssignOp::None;
    if (rest.empty()) return 0;

    const Operator* found = nullptr;
    for (const Operator& o : kOperators)
        if (rest.substr(0, o.text.size()) == o.text) {
            found = &o;
            break;
        }
    if (!found) return ctx.fail(err::VARI_MISSING_OPERATOR);
    r.op = found->op;
    const std::string_view operand = trimBlanks(rest.substr(found->text.size()));
    if (operand.empty()) return ctx.fail(err::VARI_MISSING_ARGUMENT);

    const uint16_t targetNibble = assign::target(r.kind);
    switch (ClassifyNumber(operand)) {
        case kNumberByte:
            r.byteLiteral = static_cast<uint8_t>(ParseWordValue(operand));
            r.kind = static_cast<uint16_t>(targetNibble | (assign::kFromByteLiteral << 4));
            return 0;
        case kNumberWord:
            r.wordLiteral = ParseWordValue(operand);
            r.kind = static_cast<uint16_t>(targetNibble | (assign::kFromWordLiteral << 4));
            return 0;
        case kNumberLong:
            r.longLiteral = ParseLong(operand);
            r.kind = static_cast<uint16_t>(targetNibble | (assign::kFromLongLiteral << 4));
            return 0;
        case kNumberDouble:
            r.doubleLiteral = std::strtod(std::string(operand).c_str(), nullptr);
            r.kind = static_cast<uint16_t>(targetNibble | (assign::kFromDoubleLiteral << 4));
            return 0;
        default: break;
    }
    if (ScriptVariable* source = ctx.variable(operand)) {
        r.source = source;
        r.kind = static_cast<uint16_t>(targetNibble | ((static_cast<int>(source->type) + 1) << 4));
        return 0;
    }
    // A log-page reference: page, "->" or a blank, parameter code.
    std::string reference(operand);
    blankOutText(reference, "->");
    const LogPageObject* page = ctx.tables().logPages.find(firstWord(reference));
    if (!page) return ctx.fail(err::VARI_UNABLE_TO_PROCESS_VARIABLE);
    if (page->kind == LogPageKind::Packets) return 0;
    if (!LooksLikeNumber(firstWord(afterFirstWord(reference)))) return ctx.fail(err::VARI_INVALID_PAGE_PARM_VALUE);
    return 0;
}

}  // namespace vexal::script

namespace vexal::script {
namespace {

using RunOperand = StatementRecord::RunOperand;

// The operand as the executor reads it: a literal (read for the target's width), a
// variable, or a log-page reference. 0X literals do not look like numbers here.
void parseRunOperand(StatementContext& ctx, std::string_view operand) {
    StatementRecord& r = ctx.record;
    r.runOperand = RunOperand::Invalid;
    if (ScriptVariable* source = ClassifyNumber(operand) > 0 ? nullptr : ctx.variable(operand)) {
        r.source = source;
        r.runOperand = RunOperand::Variable;
        return;
    }
    if (LooksLikeNumber(operand)) {
        switch (r.target->type) {
            case VarType::Byte: r.runInteger = static_cast<uint8_t>(ParseWordValue(operand)); break;
            case VarType::Word: r.runInteger = ParseWordValue(operand); break;
            case VarType::Long: r.runInteger = ParseLong(operand); break;
            case VarType::Double: r.runDouble = std::strtod(std::string(operand).c_str(), nullptr); break;
        }
        r.runOperand = RunOperand::Literal;
        return;
    }
    std::string reference(operand);
    blankOutText(reference, "->");
    if (const LogPageObject* page = ctx.tables().logPages.find(firstWord(reference)))
        r.runOperand = page->kind == LogPageKind::None ? RunOperand::Invalid : RunOperand::LogPage;
}

uint32_t widthMask(VarType type) {
    switch (type) {
        case VarType::Byte: return 0xFF;
        case VarType::Word: return 0xFFFF;
        default: return 0xFFFFFFFF;
    }
}

int applyInteger(ScriptVariable& t, AssignOp op, uint32_t operand) {
    const uint32_t mask = widthMask(t.type);
    const uint32_t a = integerValue(t) & mask;
    const uint32_t b = operand & mask;
    uint32_t r = 0;
    switch (op) {
        case AssignOp::Set: r = b; break;
        case AssignOp::Add: r = a + b; break;
        case AssignOp::Sub: r = a - b; break;
        case AssignOp::Mul: r = a * b; break;
        case AssignOp::Div:
            if (b == 0) return 1;  // an orderly failure, not a trap
            r = a / b;
            break;
        case AssignOp::Mod:
            if (b == 0) return 1;
            r = a % b;
            break;
        case AssignOp::And: r = a & b; break;
        case AssignOp::Or: r = a | b; break;
        case AssignOp::Xor: r = a ^ b; break;
        case AssignOp::ShiftLeft: r = a << (operand & 31); break;
        case AssignOp::ShiftRight: r = a >> (operand & 31); break;
        case AssignOp::None: return 0;
    }
    storeInteger(t, r & mask);
    return 0;
}

int applyDouble(ScriptVariable& t, AssignOp op, double operand) {
    double r = t.doubleSlot;
    switch (op) {
        case AssignOp::Set: r = operand; break;
        case AssignOp::Add: r += operand; break;
        case AssignOp::Sub: r -= operand; break;
        case AssignOp::Mul: r *= operand; break;
        case AssignOp::Div:
            if (operand == 0) return 1;
            r /= operand;
            break;
        case AssignOp::None: return 0;
        default: return 1;  // no bit operations, remainder or shifts on a DOUBLE
    }
    storeDouble(t, r);
    return 0;
}

// A parameter of a decoded page, delivered by its width: a byte, word or long as an
// integer, an 8-byte value as a double.
struct Delivered {
    bool isDouble = false;
    uint32_t integer = 0;
    double real = 0;
};

// The operand "page->code" (or "page code"): the page object's decoded parameter. An event
// page changes nothing; a page not loaded, a missing parameter or another width fails.
int applyLogPage(StatementContext& ctx, ScriptVariable& t, AssignOp op, std::string_view operand) {
    std::string reference(operand);
    blankOutText(reference, "->");
    const LogPageObject* page = ctx.tables().logPages.find(firstWord(reference));
    if (!page) return 1;
    if (page->kind == LogPageKind::Packets) return 0;
    const std::string_view codeText = firstWord(afterFirstWord(reference));
    if (!LooksLikeNumber(codeText)) return 1;
    const uint16_t code = ParseWordValue(codeText);
    const auto& pages = runData(ctx.engine).pages;
    const auto it = pages.find(page);
    if (it == pages.end() || !it->second.parameters.loaded()) return 1;
    const diag::LogPage& decoded = it->second.parameters;

    Delivered d;
    if (decoded.pageCode() == diag::page::SupportedPages) {
        // The supported-pages list: one code by its position, only assigned.
        if (op != AssignOp::Set) return ctx.fail(err::DO_VARIABLE_LOGPAGE_0_NO_MATH_ALLOWED);
        uint8_t value = 0;
        if (decoded.FetchSupportedPage(code, value) != diag::FetchError::None) return ctx.fail(err::DO_VARIABLE_PG0_VALUE_FETCH_ERROR);
        d.integer = value;
    } else {
        const diag::LogParameter* param = decoded.find(code);
        if (!param) return 1;
        uint64_t value = 0;
        if (decoded.FetchUnsigned(code, value) != diag::FetchError::None) return 1;
        switch (param->length) {
            case 1:
            case 2:
            case 4: d.integer = static_cast<uint32_t>(value); break;
            case 8:
                d.isDouble = true;
                d.real = static_cast<double>(value);
                break;
            default: return 1;
        }
    }
    switch (op) {
        case AssignOp::Set:
        case AssignOp::Add:
        case AssignOp::Sub:
        case AssignOp::Div:
        case AssignOp::Mul: break;
        case AssignOp::And:
        case AssignOp::Or:
            if (t.type == VarType::Double) return ctx.fail(err::VARIABLE_DOUBLE_CANT_DO_BIT_MATH);
            break;
        default:
            // The other operators leave an integer unchanged and fail on a double.
            return t.type == VarType::Double ? ctx.fail(err::VARIABLE_DOUBLE_CANT_DO_BIT_MATH) : 0;
    }
    // The value is converted to the target's width as a variable operand would be, so the
    // variable always shows what it was given.
    if (t.type == VarType::Double) return applyDouble(t, op, d.isDouble ? d.real : d.integer);
    ScriptVariable asVariable;
    asVariable.type = d.isDouble ? VarType::Double : VarType::Long;
    asVariable.doubleSlot = d.real;
    asVariable.longSlot = d.integer;
    return applyInteger(t, op, integerValue(asVariable));
}

// The run-time forms of a literal or variable operand, once parsed; a failure ends the
// statement as the full path would.
int fastFromLiteral(ScriptEngine& engine, StatementRecord& r) {
    ScriptVariable& t = *r.target;
    const int rc = t.type == VarType::Double ? applyDouble(t, r.op, r.runDouble) : applyInteger(t, r.op, r.runInteger);
    return rc != 0 ? engine.setError(err::EXE_UNABLE_TO_PROCESS_VARIABLE) : 0;
}

int fastFromVariable(ScriptEngine& engine, StatementRecord& r) {
    ScriptVariable& t = *r.target;
    const int rc = t.type == VarType::Double ? applyDouble(t, r.op, numericValue(*r.source))
                                             : applyInteger(t, r.op, integerValue(*r.source));
    return rc != 0 ? engine.setError(err::EXE_UNABLE_TO_PROCESS_VARIABLE) : 0;
}

}  // namespace

int executeAssignment(StatementContext& ctx) {
    StatementRecord& r = ctx.record;
    ScriptVariable* target = r.target;
    if (!target) return 1;
    const std::string_view rest = trimBlanks(ctx.args);
    if (rest.empty()) return 0;
    if (r.runOperand == RunOperand::Unparsed) {
        const Operator* found = nullptr;
        for (const Operator& o : kOperators)
            if (rest.substr(0, o.text.size()) == o.text) {
                found = &o;
                break;
            }
        if (!found) return 1;
        r.op = found->op;
        const std::string_view operand = trimBlanks(rest.substr(found->text.size()));
        if (operand.empty()) return 1;
        parseRunOperand(ctx, operand);
        if (ctx.engine.state().executing) {
            if (r.runOperand == RunOperand::Literal) r.fastRun = fastFromLiteral;
            else if (r.runOperand == RunOperand::Variable) r.fastRun = fastFromVariable;
        }
    }
    switch (r.runOperand) {
        case RunOperand::Literal:
            return target->type == VarType::Double ? applyDouble(*target, r.op, r.runDouble)
                                                   : applyInteger(*target, r.op, r.runInteger);
        case RunOperand::Variable:
            return target->type == VarType::Double ? applyDouble(*target, r.op, numericValue(*r.source))
                                                   : applyInteger(*target, r.op, integerValue(*r.source));
        case RunOperand::LogPage: {
            std::string_view operand = rest;
            for (const Operator& o : kOperators)
                if (o.op == r.op) operand = trimBlanks(rest.substr(o.text.size()));
            return applyLogPage(ctx, *target, r.op, operand);
        }
        default: return 1;
    }
}

}  // namespace vexal::script
