// Log-page statements and the packet statements of page-7 objects: argument checks.
#include <vector>

#include "script/number_literals.h"
#include "script/packet_query.h"
#include "script/script_error_codes.h"
#include "script/script_text.h"
#include "script/statement_handlers.h"

namespace vexal::script {
namespace {

const LogPageObject* page(StatementContext& ctx, std::string_view name) { return ctx.tables().logPages.find(name); }

int pageStatement(StatementContext& ctx, int32_t missingCode, int32_t unknownCode) {
    const std::string_view tag = trimBlanks(ctx.args);
    if (tag.empty()) return ctx.fail(missingCode);
    return page(ctx, tag) ? 0 : ctx.fail(unknownCode);
}

bool isByteOrWordLiteral(std::string_view w) {
    const int code = ClassifyNumber(w);
    return code == kNumberByte || code == kNumberWord;
}

// A hit index: a byte or word literal or a BYTE or WORD variable.
int checkHitIndex(StatementContext& ctx, std::string_view w, int32_t invalidCode, int32_t unknownCode) {
    if (isByteOrWordLiteral(w)) return 0;
    if (IsNumberLiteral(w)) return ctx.fail(invalidCode);
    const ScriptVariable* v = ctx.variable(w);
    if (!v) return ctx.fail(unknownCode);
    return (v->type == VarType::Byte || v->type == VarType::Word) ? 0 : ctx.fail(invalidCode);
}

bool isScreenLogBoth(std::string_view w) { return equalsUpper(w, "SCREEN") || equalsUpper(w, "LOG") || equalsUpper(w, "BOTH"); }

int checkDestination(std::string_view rest, StatementContext& ctx, int32_t missingCode, int32_t unknownCode) {
    const std::string_view w = firstWord(rest);
    if (w.empty()) return ctx.fail(missingCode);
    return isScreenLogBoth(w) ? 0 : ctx.fail(unknownCode);
}

int createList(StatementContext& ctx, std::string_view rest) {
    std::vector<std::string_view> w = splitWords(rest);
    if (w.empty()) return ctx.fail(err::PG7_CREATE_LIST_INVALID_NOF_VARIABLE_SPECIFIED);
    const std::string_view count = w.back();
    w.pop_back();
    size_t pos = 0;
    if (checkPacketQuery(ctx, w, pos)) return 1;
    if (pos != w.size()) return ctx.fail(err::IFTRUE_INVALID_NUMBER_OF_COMMAND_ARGS);
    return ctx.needVariable(count, {VarType::Word}, err::PG7_CREATE_LIST_INVALID_NOF_VARIABLE_SPECIFIED,
                            err::PG7_CREATE_LIST_INVALID_NOF_VARIABLE_TYPE_SPECIFIED);
}

int filterList(StatementContext& ctx, std::string_view rest) {
    const auto w = splitWords(rest);
    const bool time = !w.empty() && equalsUpper(w[0], "TIME"), tape = !w.empty() && equalsUpper(w[0], "TAPE");
    if (!time && !tape) return ctx.fail(err::PG7_FILTER_LIST_INVALID_FILTER_TYPE_SPECIFIED);
    if (w.size() != 3) return ctx.fail(err::PG7_FILTER_LIST_MISSING_ARGUMENTS);
    if (time && !IsNumberLiteral(w[1]) && !ctx.variable(w[1])) return ctx.fail(err::PG7_FILTER_LIST_INVALID_TIME_SPECIFIED);
    if (tape && !equalsUpper(w[1], "SAME") && !equalsUpper(w[1], "DIFFERENT"))
        return ctx.fail(err::PG7_FILTER_LIST_INVALID_TAPE_TYPE_SPECIFIED);
    return ctx.needVariable(w[2], {VarType::Word}, err::PG7_FILTER_LIST_INVALID_NOF_VARIABLE_SPECIFIED,
                            err::PG7_FILTER_LIST_INVALID_NOF_VARIABLE_TYPE_SPECIFIED);
}

// hitIndex destination field.mask [<< n | >> n] [+ field.mask ...]
int getValue(StatementContext& ctx, std::string_view rest) {
    std::string text(rest);
    std::string spaced;
    for (char c : text) {
        if (c == '+') spaced += " + ";
        else spaced.push_back(c);
    }
    const auto w = splitWords(spaced);
    if (w.empty() || checkHitIndex(ctx, w[0], err::PG7_GETVALUE_ILLEGAL_IDX_ARG_SPECIFIED, err::PG7_GETVALUE_UNKNOWN_IDX_VALUE))
        return w.empty() ? ctx.fail(err::PG7_GETVALUE_ILLEGAL_IDX_ARG_SPECIFIED) : 1;
    if (w.size() < 2 || ctx.needVariable(w[1], {VarType::Byte, VarType::Word, VarType::Long},
                                         err::PG7_GETVALUE_UNKNOWN_VARAIBLE_SPECIFIED, err::PG7_GETVALUE_UNKNOWN_VARAIBLE_SPECIFIED))
        return w.size() < 2 ? ctx.fail(err::PG7_GETVALUE_UNKNOWN_VARAIBLE_SPECIFIED) : 1;
    size_t points = 0, pluses = 0;
    for (size_t i = 2; i < w.size(); ++i) {
        points += static_cast<size_t>(std::count(w[i].begin(), w[i].end(), '.'));
        if (w[i] == "+") ++pluses;
    }
    if (points != pluses + 1) return ctx.fail(err::PG7_GETVALUE_UNBALANCED_FIELD_ARGS_TO_PLUSES);
    size_t i = 2;
    while (i < w.size()) {
        const std::string_view term = w[i++];
        const size_t dot = term.find('.');
        if (dot == std::string_view::npos || !isByteOrWordLiteral(term.substr(0, dot)))
            return ctx.fail(err::PG7_GETVALUE_ILLEGAL_FIELD_IDX_ARG_SPECIFIED);
        if (ClassifyNumber(term.substr(dot + 1)) != kNumberLong) return ctx.fail(err::PG7_GETVALUE_ILLEGAL_FIELD_MASK_ARG_SPECIFIED);
        if (i < w.size() && (w[i] == "<<" || w[i] == ">>")) {
            const bool left = w[i] == "<<";
            const std::string_view n = i + 1 < w.size() ? w[i + 1] : std::string_view();
            if (ClassifyNumber(n) != kNumberByte || ParseWordValue(n) >= 32)
                return ctx.fail(left ? err::PG7_GETVALUE_SHIFTLEFT_VALUE_OUT_OF_RANGE : err::PG7_GETVALUE_SHIFTRIGHT_VALUE_OUT_OF_RANGE);
            i += 2;
        }
        if (i < w.size()) {
            if (w[i] != "+") return ctx.fail(err::PG7_GETVALUE_UNBALANCED_FIELD_ARGS_TO_PLUSES);
            ++i;
        }
    }
    return 0;
}

int removePacket(StatementContext& ctx, std::string_view rest) {
    const auto w = splitWords(rest);
    if (w.empty() || checkHitIndex(ctx, w[0], err::K_PG7_REMOVEPACKET_ILLEGAL_IDX_ARG_SPECIFIED, err::K_PG7_REMOVEPACKET_UNKNOWN_IDX_VALUE))
        return w.empty() ? ctx.fail(err::K_PG7_REMOVEPACKET_ILLEGAL_IDX_ARG_SPECIFIED) : 1;
    return ctx.needVariable(w.size() > 1 ? w[1] : std::string_view(), {VarType::Word},
                            err::K_PG7_REMOVEPACKET_UNKNOWN_RET_VARAIBLE_SPECIFIED,
                            err::K_PG7_REMOVEPACKET_INVALID_RET_VARAIBLE_TYPE_SPECIFIED);
}

}  // namespace

int stmtLoadPage(StatementContext& ctx) { return pageStatement(ctx, err::LOAD_PAGE_NO_PAGE_SPECIFIED, err::LOAD_PAGE_INVALID_PAGE_SPECIFIED); }
int stmtRecordPage(StatementContext& ctx) {
    return pageStatement(ctx, err::RECORD_PAGE_NO_PAGE_SPECIFIED, err::RECORD_PAGE_INVALID_PAGE_SPECIFIED);
}

int stmtPrintPage(StatementContext& ctx) {
    if (pageStatement(ctx, err::PRINT_PAGE_NO_PAGE_SPECIFIED, err::PRINT_PAGE_INVALID_PAGE_SPECIFIED)) return 1;
    return page(ctx, trimBlanks(ctx.args))->kind == LogPageKind::None ? ctx.fail(err::PRINT_PAGE_NO_DECODER) : 0;
}

int stmtDumpLogPage(StatementContext&) { return 0; }

int stmtDeltaFilter(StatementContext& ctx) {
    WordReader words(ctx.args);
    const LogPageObject* a = page(ctx, words.next());
    if (!a) return ctx.fail(err::DELTA_FILTER_INVALID_1ST_ARG_LOGPAGE_TAG_SPECIFIED);
    if (a->kind != LogPageKind::Packets) return ctx.fail(err::DELTA_FILTER_INVALID_1ST_ARG_LOGPAGE_TYPE_SPECIFIED);
    const LogPageObject* b = page(ctx, words.next());
    if (!b) return ctx.fail(err::DELTA_FILTER_INVALID_2ND_ARG_LOGPAGE_TAG_SPECIFIED);
    return b->kind == LogPageKind::Packets ? 0 : ctx.fail(err::DELTA_FILTER_INVALID_2ND_LOGPAGE_TYPE_SPECIFIED);
}

int stmtGetNumberOfPackets(StatementContext& ctx) {
    WordReader words(ctx.args);
    const LogPageObject* p = page(ctx, words.next());
    if (!p) return ctx.fail(err::GET_NOF_PACKETS_INVALID_1ST_ARG_LOGPAGE_TAG_SPECIFIED);
    if (p->kind != LogPageKind::Packets) return ctx.fail(err::GET_NOF_PACKETS_INVALID_1ST_ARG_LOGPAGE_TYPE_SPECIFIED);
    return ctx.variable(words.next()) ? 0 : ctx.fail(err::GET_NOF_PACKETS_UNKNOWN_VARIABLE_SPECIFIED);
}

int stmtSetPoh(StatementContext& ctx) {
    std::vector<std::string> w;
    if (!splitQuotedWords(ctx.args, w)) return ctx.fail(err::K_SETPOH_PARSING_ERROR);
    if (w.size() != 1) return ctx.fail(err::K_SETPOH_ILLEGAL_NUMBER_OF_ARGS_DETECTED);
    const int code = ClassifyNumber(w[0]);
    if (code == kNumberByte || code == kNumberWord || code == kNumberLong) return 0;
    const ScriptVariable* v = ctx.variable(w[0]);
    return (v && v->type != VarType::Double) ? 0 : ctx.fail(err::K_SETPOH_INVALID_HOURS_ARG);
}

int stmtPacket(StatementContext& ctx) {
    const std::string_view sub = firstWord(ctx.args);
    const std::string_view rest = afterFirstWord(ctx.args);
    if (equalsUpper(sub, "CREATELIST")) return createList(ctx, rest);
    if (equalsUpper(sub, "FILTERLIST")) return filterList(ctx, rest);
    if (equalsUpper(sub, "PRINTLIST"))
        return checkDestination(rest, ctx, err::PG7_PRINT_LIST_MISSING_ARGUMENTS, err::PG7_PRINT_LIST_INVALID_DESTINATION_SPECIFIED);
    if (equalsUpper(sub, "GETVALUE")) return getValue(ctx, rest);
    if (equalsUpper(sub, "REMOVEPACKET")) return removePacket(ctx, rest);
    if (equalsUpper(sub, "CREATEMAP"))
        return checkDestination(rest, ctx, err::K_PG7_CREATE_MAP_MISSING_ARGUMENTS, err::K_PG7_CREATE_MAP_INVALID_DESTINATION_SPECIFIED);
    return ctx.fail(err::PHASE2_UNKNOWN_PG7_COMMAND_DETECTED);
}

}  // namespace vexal::script
