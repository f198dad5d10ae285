// IFTRUE and the packet query: argument checks, then the search over the page's packets.
#include "script/packet_query.h"

#include "diag/event_packets.h"
#include "script/run_data.h"
#include "script/script_values.h"
#include <algorithm>
#include <array>
#include <cstdlib>
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

int checkSenseCriteria(StatementContext& ctx, std::span<const std::string_view> w, size_t& pos, bool scsi, PacketQuery& q) {
    const SenseCodes codes = scsi ? SenseCodes{err::IFTRUE_SCSI_INVALID_ASC_NUMBER, err::IFTRUE_SCSI_INVALID_ASC_FIELD,
                                               err::IFTRUE_SCSI_INVALID_ASCQ_NUMBER, err::IFTRUE_SCSI_INVALID_ASCQ_FIELD}
                                  : SenseCodes{err::IFTRUE_SENSE_INVALID_ASC_NUMBER, err::IFTRUE_SENSE_INVALID_ASC_FIELD,
                                               err::IFTRUE_SENSE_INVALID_ASCQ_NUMBER, err::K_IFTRUE_SENSE_INVALID_ASCQ_FIELD};
    if (pos >= w.size()) return ctx.fail(err::IFTRUE_INVALID_NUMBER_OF_COMMAND_ARGS);
    const std::string_view sk = w[pos++];
    if (ClassifyNumber(sk) <= 0) {
        // Instead of the numbers, a SENSEKEYS tag.
        q.senseTag = std::string(sk);
        return ctx.tables().senseKeys.hasTag(sk) ? 0 : ctx.fail(err::IFTRUE_INVALID_SENSEKEYS_TAG);
    }
    q.senseKey = static_cast<uint8_t>(ParseWordValue(sk));
    if (ClassifyNumber(sk) != kNumberByte) return ctx.fail(err::IFTRUE_SENSE_INVALID_SK_NUMBER);
    if (pos + 1 >= w.size()) return ctx.fail(err::IFTRUE_INVALID_NUMBER_OF_COMMAND_ARGS);
    const std::string_view asc = w[pos++], ascq = w[pos++];
    const bool ascAny = equalsUpper(asc, "XX");
    if (!ascAny) {
        const int code = ClassifyNumber(asc);
        if (code > kNumberByte) return ctx.fail(codes.ascNumber);
        if (code < 0) return ctx.fail(codes.ascField);
        q.asc = static_cast<uint8_t>(ParseWordValue(asc));
    }
    if (equalsUpper(ascq, "XX")) return 0;
    const int code = ClassifyNumber(ascq);
    if (ascAny && code > 0) return ctx.fail(err::IFTRUE_XX_USED_AS_ASC_CODE);
    if (code > kNumberByte) return ctx.fail(codes.ascqNumber);
    if (code < 0) return ctx.fail(codes.ascqField);
    q.ascq = static_cast<uint8_t>(ParseWordValue(ascq));
    return 0;
}

// A BUGCHECK or EVENT value: a byte or word literal or a WORD variable.
int checkCodeValue(StatementContext& ctx, std::string_view w, int32_t invalidCode, int32_t typeCode) {
    if (isWordLiteral(w)) return 0;
    if (const ScriptVariable* v = ctx.variable(w)) return v->type == VarType::Word ? 0 : ctx.fail(typeCode);
    return ctx.fail(invalidCode);
}

int checkCodeCriteria(StatementContext& ctx, std::span<const std::string_view> w, size_t& pos, bool event, PacketQuery& q) {
    const int32_t invalid = event ? err::IFTRUE_EVENT_INVALID_VALUE_FIELD : err::IFTRUE_BUGCHK_INVALID_VALUE_FIELD;
    if (pos >= w.size()) return ctx.fail(err::IFTRUE_INVALID_NUMBER_OF_COMMAND_ARGS);
    const std::string_view low = w[pos++];
    q.low = std::string(low);
    if (checkCodeValue(ctx, low, invalid, event ? err::K_IFTRUE_EVET_VARIABLE_NOT_A_WORD : err::IFTRUE_BUGCHK_VARIABLE_NOT_A_WORD))
        return 1;
    if (pos >= w.size() || !equalsUpper(w[pos], "TO")) return 0;
    if (++pos >= w.size()) return ctx.fail(err::IFTRUE_INVALID_NUMBER_OF_COMMAND_ARGS);
    const std::string_view high = w[pos++];
    q.high = std::string(high);
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

// The ANY form: a data word of each hit compared with a list of values.
struct AnyForm {
    uint32_t index = 0;
    uint32_t sizeMask = 0xFFFFFFFF;
    uint32_t mask = 0xFFFFFFFF;
    bool equal = true;
    std::vector<uint32_t> values;
};

// After ANY: DW [ index ] size mask comparison values...
int checkAnyForm(StatementContext& ctx, std::span<const std::string_view> w, size_t& pos, AnyForm& form) {
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
    const std::string_view index = next();
    if (!isWordLiteral(index)) return ctx.fail(err::K_IFTRUE_HANDLEANY_UNKNOWN_DW_IDX_DETECTED);
    form.index = ParseWordValue(index);
    const std::string_view size = next();
    if (!equalsUpper(size, "B") && !equalsUpper(size, "W") && !equalsUpper(size, "L") && !equalsUpper(size, "N"))
        return ctx.fail(err::K_IFTRUE_HANDLEANY_UNKNOWN_DW_IDX_DETECTED);
    form.sizeMask = equalsUpper(size, "B") ? 0xFF : equalsUpper(size, "W") ? 0xFFFF : 0xFFFFFFFF;
    const std::string_view mask = next();
    if (!isLongLiteral(mask)) return ctx.fail(err::K_IFTRUE_HANDLEANY_INVALID_ARG_TYPE);
    literalValue(mask, form.mask);
    const std::string_view comparison = next();
    if (comparison != "==" && comparison != "!=") return ctx.fail(err::K_IFTRUE_HANDLEANY_UNKNOWN_EVALUATOR);
    form.equal = comparison == "==";
    if (i >= rest.size()) return ctx.fail(err::K_IFTRUE_HANDLEANY_NO_ARGS_SPECIFIED);
    for (; i < rest.size(); ++i) {
        if (!isLongLiteral(rest[i])) return ctx.fail(err::K_IFTRUE_HANDLEANY_INVALID_ARG_TYPE);
        uint32_t v = 0;
        literalValue(rest[i], v);
        form.values.push_back(v);
    }
    pos = stop;
    return 0;
}

// A value word checked earlier: a literal or a WORD variable.
uint32_t codeValue(StatementContext& ctx, const std::string& w) {
    if (const ScriptVariable* v = ClassifyNumber(w) > 0 ? nullptr : ctx.variable(w)) return integerValue(*v);
    return ParseWordValue(w);
}

// The header's kind word (upper-cased, colons removed) against the query's kind.
bool kindMatches(PacketKind kind, const std::string& word) {
    switch (kind) {
        case PacketKind::Sense: return word == "SENSE";
        case PacketKind::Scsi: return word == "SCSI";
        case PacketKind::BugCheck: return word == "BUGCHECK" || word == "BUGCHK";
        case PacketKind::Event: return word == "EVENT";
        case PacketKind::OverTemp: return word == "OVERTEMP";
        case PacketKind::Post: return word == "POST" || word == "PO/ST";
        default: return false;
    }
}

bool senseMatches(StatementContext& ctx, const PacketQuery& q, uint8_t sk, uint8_t asc, uint8_t ascq) {
    if (!q.senseTag.empty()) {
        for (const auto& e : ctx.tables().senseKeys)
            if (e->tag == q.senseTag && e->matches(sk, asc, ascq)) return true;
        return false;
    }
    return sk == q.senseKey && (q.asc < 0 || asc == q.asc) && (q.ascq < 0 || ascq == q.ascq);
}

// Keeps the hits one of whose values the data word equals (==) or none does (!=); a hit
// without that data word is dropped.
void filterAny(std::vector<PacketHit>& hits, const AnyForm& form) {
    std::erase_if(hits, [&](const PacketHit& h) {
        uint32_t word = 0;
        if (diag::packetDataWord(h.after, form.index, word) != diag::DataWordError::None) return true;
        const uint32_t v = word & form.mask & form.sizeMask;
        const bool found = std::find(form.values.begin(), form.values.end(), v) != form.values.end();
        return found != form.equal;
    });
}

}  // namespace

void keepHitsWithin(std::vector<PacketHit>& hits, double referenceHours, double window) {
    std::erase_if(hits, [&](const PacketHit& h) { return !(h.timeHours > referenceHours - window); });
}

int runPacketQuery(StatementContext& ctx, const PacketQuery& q, const std::vector<std::string>& lines,
                   std::vector<PacketHit>& hits) {
    hits.clear();
    const bool coded = q.kind == PacketKind::BugCheck || q.kind == PacketKind::Event;
    const bool range = !q.high.empty();
    uint32_t low = 0, high = 0;
    if (coded) {
        low = codeValue(ctx, q.low);
        high = range ? codeValue(ctx, q.high) : low;
        if (range && low >= high)
            return ctx.fail(q.kind == PacketKind::Event ? err::K_IFTRUE_EVENT_RANGE_ERROR_SPECIFIED
                                                        : err::K_IFTRUE_BUGCHECK_RANGE_ERROR_SPECIFIED);
    }
    for (size_t i = 0; i < lines.size(); ++i) {
        diag::PacketHeader h;
        if (!diag::parsePacketHeader(lines[i], h) || !kindMatches(q.kind, h.kind)) continue;
        const auto sk = static_cast<uint8_t>(h.code >> 16), asc = static_cast<uint8_t>(h.code >> 8),
                   ascq = static_cast<uint8_t>(h.code);
        bool match = true;
        if (coded) match = h.code >= low && h.code <= high;
        else if (q.kind == PacketKind::Sense || q.kind == PacketKind::Scsi) match = senseMatches(ctx, q, sk, asc, ascq);
        if (!match) continue;
        PacketHit hit;
        hit.number = h.number;
        hit.kind = static_cast<int>(q.kind);
        hit.code = h.code;
        hit.name = h.name;
        hit.month = h.month;
        hit.day = h.day;
        hit.year = h.year;
        hit.hours = h.hours;
        hit.minutes = h.minutes;
        hit.seconds = h.seconds;
        hit.poh = h.poh;
        hit.pc = h.pc;
        hit.timeHours = h.timeHours();
        hit.senseKey = sk;
        hit.asc = asc;
        hit.ascq = ascq;
        // The packet's lines, and the next header so that a search can tell where it ends.
        for (size_t j = i + 1; j < lines.size(); ++j) {
            hit.after.push_back(lines[j]);
            if (diag::isPacketHeader(lines[j])) break;
        }
        hits.push_back(std::move(hit));
    }
    return 0;
}

int packetKindOf(std::string_view word) {
    for (size_t i = 0; i < kKinds.size(); ++i)
        if (equalsUpper(word, kKinds[i])) return static_cast<int>(i);
    return -1;
}

int checkPacketQuery(StatementContext& ctx, std::span<const std::string_view> w, size_t& pos, PacketQuery* out) {
    if (pos >= w.size()) return ctx.fail(err::IFTRUE_INVALID_NUMBER_OF_COMMAND_ARGS);
    const int kind = packetKindOf(w[pos++]);
    if (kind < 0) return ctx.fail(err::IFTRUE_INVALID_QUERY_TYPE);
    PacketQuery local;
    PacketQuery& q = out ? *out : local;
    q = PacketQuery{};
    q.kind = static_cast<PacketKind>(kind);
    switch (q.kind) {
        case PacketKind::Sense: return checkSenseCriteria(ctx, w, pos, false, q);
        case PacketKind::Scsi: return checkSenseCriteria(ctx, w, pos, true, q);
        case PacketKind::BugCheck: return checkCodeCriteria(ctx, w, pos, false, q);
        case PacketKind::Event: return checkCodeCriteria(ctx, w, pos, true, q);
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
    PacketQuery query;
    if (checkPacketQuery(ctx, w, pos, &query)) return 1;

    if (pos >= w.size()) return ctx.fail(err::IFTRUE_INVALID_NUMBER_OF_COMMAND_ARGS);
    if (isWithin(w[pos])) return ctx.fail(err::IFTRUE_WITHIN_PHRASE_PRECIDENT_ERROR);
    if (isWith(w[pos])) return ctx.fail(err::IFTRUE_WITH_PHRASE_PRECIDENT_ERROR);
    int op = -1;
    for (size_t i = 0; i < kOperators.size(); ++i)
        if (equalsUpper(w[pos], kOperators[i])) op = static_cast<int>(i);
    if (op < 0) return ctx.fail(err::IFTRUE_INVALID_OPERATOR_DETECTED);
    ++pos;

    AnyForm any;
    std::string_view threshold, window;
    if (op == 6) {
        if (checkAnyForm(ctx, w, pos, any)) return 1;
    } else {
        if (pos >= w.size()) return ctx.fail(err::IFTRUE_INVALID_NUMBER_OF_COMMAND_ARGS);
        threshold = w[pos++];
        if (const ScriptVariable* v = ctx.variable(threshold)) {
            if (v->type != VarType::Word) return ctx.fail(err::IFTRUE_LIMIT_FIELD_VARIABLE_NOT_A_WORD);
        } else if (!isWordLiteral(threshold)) {
            return ctx.fail(err::IFTRUE_INVALID_NUMBER_VALUE_FIELD);
        }
    }

    if (pos < w.size() && isWithin(w[pos])) {
        if (++pos >= w.size()) return ctx.fail(err::IFTRUE_INVALID_NUMBER_OF_COMMAND_ARGS);
        window = w[pos++];
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
    if (!ctx.executing()) return 0;

    ScriptRunData& data = runData(ctx.engine);
    const auto found = data.pages.find(page);
    if (found == data.pages.end() || found->second.lines.empty()) return ctx.fail(err::SEARCH_ENGINE_DETECTED_NO_TEXT_FOR_LP7);
    if (runPacketQuery(ctx, query, found->second.lines, data.hits)) return 1;
    if (op == 6) filterAny(data.hits, any);
    if (!window.empty()) {
        double hours = 0;
        if (const ScriptVariable* v = ctx.variable(window)) hours = numericValue(*v);
        else hours = std::strtod(std::string(window).c_str(), nullptr);
        keepHitsWithin(data.hits, data.referenceHours, hours);
    }
    const uint32_t n = static_cast<uint32_t>(data.hits.size());
    storeInteger(*ctx.variable(w[1]), n);
    const uint32_t t = op == 6 ? 0 : codeValue(ctx, std::string(threshold));
    bool take = true;
    switch (op) {
        case 0: take = n == t; break;
        case 1: take = n != t; break;
        case 2: take = n < t; break;
        case 3: take = n > t; break;
        case 4: take = n <= t; break;
        case 5: take = n >= t; break;
        default: break;
    }
    if (!take) return 0;
    if (ctx.record.action == BranchAction::Call)
        return ctx.engine.callTo(ctx.record.vector) ? 0 : ctx.fail(err::CALL_DEPTH_EXCEEDED);
    ctx.engine.jumpTo(ctx.record.vector);
    return 0;
}

}  // namespace vexal::script
