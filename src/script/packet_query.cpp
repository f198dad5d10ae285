// IFTRUE and the packet query: argument checks.
#include "script/packet_query.h"

#include <array>
#include <string>
#include <vector>

#include "script/number_literals.h"
#include "script/script_error_codes.h"
#include "script/script_text.h"
#include "script/statement_handlers.h"

namespace vexal::script {
namespace {

constexpr std::array<std::string_view, 11> kKinds{"SENSE",           "BUGCHECK",        "EVENT",     "SCSI",
                                                  "DIAG_ILOG",       "DIAG_4_CHN_WRITE", "DIAG_4_CHN_READ",
                                                  "DIAG_TEST",       "CUP",             "OVERTEMP",  "POST"};

constexpr std::array<std::string_view, 7> kOperators{"==", "!=", "<", ">", "<=", ">=", "ANY"};

bool isWordLiteral(std::string_view w) {
    const int code = ClassifyNumber(w);
    return code == kNumberByte || code == kNumberWord;
}

struct SenseCodes {
    int32_t ascNumber, ascField, ascqNumber, ascqField;
};

int checkSenseCriteria(StatementContext& ctx, std::span<const std::string_view> w, size_t& pos, bool scsi) {
    const SenseCodes codes = scsi ? SenseCodes{err::IFTRUE_SCSI_INVALID_ASC_NUMBER, err::IFTRUE_SCSI_INVALID_ASC_FIELD,
                                               err::IFTRUE_SCSI_INVALID_ASCQ_NUMBER, err::IFTRUE_SCSI_INVALID_ASCQ_FIELD}
                                  : SenseCodes{err::IFTRUE_SENSE_INVALID_ASC_NUMBER, err::IFTRUE_SENSE_INVALID_ASC_FIELD,
                                               err::IFTRUE_SENSE_INVALID_ASCQ_NUMBER, err::K_IFTRUE_SENSE_INVALID_ASCQ_FIELD};
    if (pos >= w.size()) return ctx.fail(err::IFTRUE_INVALID_NUMBER_OF_COMMAND_ARGS);
    const std::string_view sk = w[pos++];
    if (ClassifyNumber(sk) <= 0) {
        // Instead of the numbers, a SENSEKEYS tag.
        return ctx.tables().senseKeys.hasTag(sk) ? 0 : ctx.fail(err::IFTRUE_INVALID_SENSEKEYS_TAG);
    }
    if (ClassifyNumber(sk) != kNumberByte) return ctx.fail(err::IFTRUE_SENSE_INVALID_SK_NUMBER);
    if (pos + 1 >= w.size()) return ctx.fail(err::IFTRUE_INVALID_NUMBER_OF_COMMAND_ARGS);
    const std::string_view asc = w[pos++], ascq = w[pos++];
    const bool ascAny = equalsUpper(asc, "XX");
    if (!ascAny) {
        const int code = ClassifyNumber(asc);
        if (code > kNumberByte) return ctx.fail(codes.ascNumber);
        if (code < 0) return ctx.fail(codes.ascField);
    }
    if (equalsUpper(ascq, "XX")) return 0;
    const int code = ClassifyNumber(ascq);
    if (ascAny && code > 0) return ctx.fail(err::IFTRUE_XX_USED_AS_ASC_CODE);
    if (code > kNumberByte) return ctx.fail(codes.ascqNumber);
    if (code < 0) return ctx.fail(codes.ascqField);
    return 0;
}

// A BUGCHECK or EVENT value: a byte or word literal or a WORD variable.
int checkCodeValue(StatementContext& ctx, std::string_view w, int32_t invalidCode, int32_t typeCode) {
    if (isWordLiteral(w)) return 0;
    if (const ScriptVariable* v = ctx.variable(w)) return v->type == VarType::Word ? 0 : ctx.fail(typeCode);
    return ctx.fail(invalidCode);
}

int checkCodeCriteria(StatementContext& ctx, std::span<const std::string_view> w, size_t& pos, bool event) {
    const int32_t invalid = event ? err::IFTRUE_EVENT_INVALID_VALUE_FIELD : err::IFTRUE_BUGCHK_INVALID_VALUE_FIELD;
    if (pos >= w.size()) return ctx.fail(err::IFTRUE_INVALID_NUMBER_OF_COMMAND_ARGS);
    const std::string_view low = w[pos++];
    if (checkCodeValue(ctx, low, invalid, event ? err::K_IFTRUE_EVET_VARIABLE_NOT_A_WORD : err::IFTRUE_BUGCHK_VARIABLE_NOT_A_WORD))
        return 1;
    if (pos >= w.size() || !equalsUpper(w[pos], "TO")) return 0;
    if (++pos >= w.size()) return ctx.fail(err::IFTRUE_INVALID_NUMBER_OF_COMMAND_ARGS);
    const std::string_view high = w[pos++];
    if (checkCodeValue(ctx, high, invalid, event ? err::IFTRUE_EVENT_VARIABLE_NOT_A_WORD : err::IFTRUE_BUGCHK_VARIABLE_NOT_A_WORD))
        return 1;
    if (isWordLiteral(low) && isWordLiteral(high) && ParseWordValue(low) >= ParseWordValue(high))
        return ctx.fail(event ? err::K_IFTRUE_EVENT_RANGE_ERROR_SPECIFIED : err::K_IFTRUE_BUGCHECK_RANGE_ERROR_SPECIFIED);
    return 0;
}

bool isLongLiteral(std::string_view w) {
    const int code = ClassifyNumber(w);
    return code == kNumberByte || code == kNumberWord || code == kNumberLong;
}

bool isWithin(std::string_view w) { return equalsUpper(w, "WITHIN"); }
bool isWith(std::string_view w) { return equalsUpper(w, "WITH"); }

// After ANY: DW [ index ] size mask comparison values...
int checkAnyForm(StatementContext& ctx, std::span<const std::string_view> w, size_t& pos) {
    // Brackets around the index are optional and may stand alone or touch the index.
    std::vector<std::string> rest;
    size_t stop = pos;
    while (stop < w.size() && !isWithin(w[stop]) && !isWith(w[stop])) {
        std::string word(w[stop++]);
        blankOut(word, "[]");
        for (auto part : splitWords(word)) rest.emplace_back(part);
    }
    size_t i = 0;
    auto next = [&]() -> std::string_view { return i < rest.size() ? std::string_view(rest[i++]) : std::string_view(); };
    if (!equalsUpper(next(), "DW")) return ctx.fail(err::K_IFTRUE_HANDLEANY_MISSING_DW_PHRASE);
    if (!isWordLiteral(next())) return ctx.fail(err::K_IFTRUE_HANDLEANY_UNKNOWN_DW_IDX_DETECTED);
    const std::string_view size = next();
    if (!equalsUpper(size, "B") && !equalsUpper(size, "W") && !equalsUpper(size, "L") && !equalsUpper(size, "N"))
        return ctx.fail(err::K_IFTRUE_HANDLEANY_UNKNOWN_DW_IDX_DETECTED);
    if (!isLongLiteral(next())) return ctx.fail(err::K_IFTRUE_HANDLEANY_INVALID_ARG_TYPE);
    const std::string_view comparison = next();
    if (comparison != "==" && comparison != "!=") return ctx.fail(err::K_IFTRUE_HANDLEANY_UNKNOWN_EVALUATOR);
    if (i >= rest.size()) return ctx.fail(err::K_IFTRUE_HANDLEANY_NO_ARGS_SPECIFIED);
    for (; i < rest.size(); ++i)
        if (!isLongLiteral(rest[i])) return ctx.fail(err::K_IFTRUE_HANDLEANY_INVALID_ARG_TYPE);
    pos = stop;
    return 0;
}

}  // namespace

int packetKindOf(std::string_view word) {
    for (size_t i = 0; i < kKinds.size(); ++i)
        if (equalsUpper(word, kKinds[i])) return static_cast<int>(i);
    return -1;
}

int checkPacketQuery(StatementContext& ctx, std::span<const std::string_view> w, size_t& pos) {
    if (pos >= w.size()) return ctx.fail(err::IFTRUE_INVALID_NUMBER_OF_COMMAND_ARGS);
    const int kind = packetKindOf(w[pos++]);
    if (kind < 0) return ctx.fail(err::IFTRUE_INVALID_QUERY_TYPE);
    switch (static_cast<PacketKind>(kind)) {
        case PacketKind::Sense: return checkSenseCriteria(ctx, w, pos, false);
        case PacketKind::Scsi: return checkSenseCriteria(ctx, w, pos, true);
        case PacketKind::BugCheck: return checkCodeCriteria(ctx, w, pos, false);
        case PacketKind::Event: return checkCodeCriteria(ctx, w, pos, true);
        case PacketKind::OverTemp:
        case PacketKind::Post: return 0;
        default: return ctx.fail(err::UNDER_CONSTRUCTION);
    }
}

int stmtIfTrue(StatementContext& ctx) {
    std::vector<std::string_view> w = splitWords(ctx.args);
    if (w.empty()) return ctx.fail(err::IFTRUE_INVALID_NUMBER_OF_COMMAND_ARGS);
    const LogPageObject* page = ctx.tables().logPages.find(w[0]);
    if (!page) return ctx.fail(err::IFTRUE_INVALID_LOGPAGE_TAG);
    if (page->kind != LogPageKind::Packets) return ctx.fail(err::IFTRUE_INVALID_LOGPAGE_NUMBER);
    if (w.size() < 2) return ctx.fail(err::IFTRUE_INVALID_NUMBER_OF_COMMAND_ARGS);
    if (ctx.needVariable(w[1], {VarType::Word}, err::K_IFTRUE_INVALID_RETURN_COUNT_VARIABLE_SPECIFIED,
                         err::K_IFTRUE_INVALID_RETURN_COUNT_VARIABLE_TYPE_SPECIFIED))
        return 1;
    if (w.size() < 3) return ctx.fail(err::IFTRUE_INVALID_NUMBER_OF_COMMAND_ARGS);
    if (packetKindOf(w[2]) < 0) return ctx.fail(err::IFTRUE_INVALID_QUERY_TYPE);

    // The action is taken out of the text wherever it stands.
    size_t action = 3;
    while (action + 1 < w.size() && !equalsUpper(w[action], "JUMP") && !equalsUpper(w[action], "CALL")) ++action;
    if (action + 1 >= w.size()) return ctx.fail(err::IFTRUE_NO_CALL_OR_JUMP_SPECIFIED);
    const bool jump = equalsUpper(w[action], "JUMP");
    const std::string_view label = w[action + 1];
    if (label.size() > 127) return ctx.fail(jump ? err::IFTRUE_JUMP_SYMBOL_TAG_TOO_LONG : err::IFTRUE_CALL_SYMBOL_TAG_TOO_LONG);
    if (!ctx.isSymbol(label))
        return ctx.fail(jump ? err::IFTRUE_INVALID_JUMP_VECTOR_SYMBOL_DETECTED : err::IFTRUE_INVALID_CALL_VECTOR_SYMBOL_DETECTED);
    ctx.record.action = jump ? BranchAction::Jump : BranchAction::Call;
    w.erase(w.begin() + static_cast<std::ptrdiff_t>(action), w.begin() + static_cast<std::ptrdiff_t>(action) + 2);

    size_t pos = 2;
    if (checkPacketQuery(ctx, w, pos)) return 1;

    if (pos >= w.size()) return ctx.fail(err::IFTRUE_INVALID_NUMBER_OF_COMMAND_ARGS);
    if (isWithin(w[pos])) return ctx.fail(err::IFTRUE_WITHIN_PHRASE_PRECIDENT_ERROR);
    if (isWith(w[pos])) return ctx.fail(err::IFTRUE_WITH_PHRASE_PRECIDENT_ERROR);
    int op = -1;
    for (size_t i = 0; i < kOperators.size(); ++i)
        if (equalsUpper(w[pos], kOperators[i])) op = static_cast<int>(i);
    if (op < 0) return ctx.fail(err::IFTRUE_INVALID_OPERATOR_DETECTED);
    ++pos;

    if (op == 6) {
        if (checkAnyForm(ctx, w, pos)) return 1;
    } else {
        if (pos >= w.size()) return ctx.fail(err::IFTRUE_INVALID_NUMBER_OF_COMMAND_ARGS);
        const std::string_view threshold = w[pos++];
        if (const ScriptVariable* v = ctx.variable(threshold)) {
            if (v->type != VarType::Word) return ctx.fail(err::IFTRUE_LIMIT_FIELD_VARIABLE_NOT_A_WORD);
        } else if (!isWordLiteral(threshold)) {
            return ctx.fail(err::IFTRUE_INVALID_NUMBER_VALUE_FIELD);
        }
    }

    if (pos < w.size() && isWithin(w[pos])) {
        if (++pos >= w.size()) return ctx.fail(err::IFTRUE_INVALID_NUMBER_OF_COMMAND_ARGS);
        const std::string_view window = w[pos++];
        if (const ScriptVariable* v = ctx.variable(window)) {
            if (v->type != VarType::Word) return ctx.fail(err::IFTRUE_WITHIN_TIME_VARIABLE_NOT_A_WORD);
        } else if (!IsNumberLiteral(window)) {
            return ctx.fail(err::IFTRUE_UNKNOWN_WITHIN_TIME_ARG);
        }
    }
    if (pos < w.size() && isWith(w[pos])) {
        if (++pos >= w.size()) return ctx.fail(err::IFTRUE_INVALID_WITH_ARG);
        const std::string_view how = w[pos++];
        if (!equalsUpper(how, "SAME") && !equalsUpper(how, "DIFF")) return ctx.fail(err::IFTRUE_INVALID_WITH_ARG);
    }
    if (pos < w.size()) {
        if (isWithin(w[pos])) return ctx.fail(err::IFTRUE_WITHIN_PHRASE_PRECIDENT_ERROR);
        if (isWith(w[pos])) return ctx.fail(err::IFTRUE_WITH_PHRASE_PRECIDENT_ERROR);
        return ctx.fail(err::IFTRUE_INVALID_NUMBER_OF_COMMAND_ARGS);
    }
    return 0;
}

}  // namespace vexal::script
