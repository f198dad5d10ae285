// Assignments: a variable, an operator, an operand. Phase 2 records the operator, the
// operand kind and a literal operand's value in the statement.
#include <cstdlib>

#include "script/number_literals.h"
#include "script/script_error_codes.h"
#include "script/script_text.h"
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
