// Phase 2: every statement line through its handler's check, then the whole-script rules.
#include "script/keyword_table.h"
#include "script/number_literals.h"
#include "script/script_engine.h"
#include "script/script_error_codes.h"
#include "script/script_text.h"
#include "script/statement_handlers.h"

namespace vexal::script {
namespace {

uint16_t targetNibble(VarType type) { return static_cast<uint16_t>(static_cast<int>(type) + 1); }

}  // namespace

bool ScriptEngine::Validate() {
    state_.jumpTaken = false;
    state_.holdStatement = false;
    state_.executing = false;
    trail_.append("Phase 2 : Validation...");
    bool failed = false;
    for (StatementRecord& record : tables_.statements) {
        fileId_ = record.fileId;
        line_ = record.line;
        errorCode_ = 0;
        if (record.text.empty()) {
            report(err::TEXT_LINK_WITHOUT_TEXT_ERROR);
            return false;
        }
        validateStatement(record);
        if (errorCode_ != 0) {
            report(errorCode_);
            failed = true;
        }
    }
    if (state_.fupSeen && state_.onErrorCount == 0) {
        report(err::PHASE2_FUP_COMMAND_USED_WITH_NO_ONCANCEL_SPECIFIED);
        return false;
    }
    if (state_.fupSeen && state_.onCancelCount == 0) {
        report(err::K_PHASE2_FUP_COMMAND_USED_WITH_NO_ONCANCEL_SPECIFIED);
        return false;
    }
    if (!state_.descriptionSeen) {
        report(err::NO_DESCRIPTION_SPECIFIED);
        failed = true;
    }
    trail_.append("Phase 2 Complete.");
    return !failed;
}

void ScriptEngine::validateStatement(StatementRecord& record) {
    const std::string_view text = record.text;
    const std::string_view first = firstWord(text);
    if (const KeywordEntry* keyword = findKeyword(upperCopy(first))) {
        record.opcode = keyword->opcode;
        if (!keyword->handler) {
            setError(err::UNKNOWN_CMD);
            return;
        }
        StatementContext ctx{*this, record, afterFirstWord(text)};
        keyword->handler(ctx);
        return;
    }
    if (ScriptVariable* target = tables_.variables.find(first)) {
        record.kind = targetNibble(target->type);
        record.target = target;
        StatementContext ctx{*this, record, afterFirstWord(text)};
        validateAssignment(ctx);
        return;
    }
    if (text.front() == '*') return;  // an internal sense line, checked in phase 1
    validateOther(record);
}

// A line starting with a log page's name: a packet statement (page 7) or a parameter
// expression, which phase 2 only examines.
void ScriptEngine::validateOther(StatementRecord& record) {
    std::string text = record.text;
    blankOutText(text, "->");
    WordReader words(text);
    const LogPageObject* page = tables_.logPages.find(words.next());
    if (!page) {
        setError(err::UNRECOGNIZABLE_LINE);
        return;
    }
    if (page->kind == LogPageKind::Packets) {
        StatementContext ctx{*this, record, words.rest()};
        stmtPacket(ctx);
        return;
    }
    if (!LooksLikeNumber(words.next())) {
        setError(err::PHASE2_LOGPAGE_INVALID_PARMCODE_DETECTED);
        return;
    }
    const std::string_view rest = words.rest();
    if (rest.empty()) return;
    static constexpr std::string_view kOperators[] = {"=", "+=", "-=", "/=", "*=", "&=", "|=", "^="};
    for (std::string_view op : kOperators) {
        if (rest.substr(0, op.size()) != op) continue;
        const std::string_view argument = firstWord(rest.substr(op.size()));
        if (argument.empty()) setError(err::PHASE2_LOGPAGE_MISSING_ARGUMENT);
        else if (!LooksLikeNumber(argument) && !tables_.variables.find(argument))
            setError(err::PHASE2_LOGPAGE_VARIABLE_SPECIFIER_UNKNOWN);
        return;
    }
    setError(err::PHASE2_LOGPAGE_MISSING_OPERATOR);
}

}  // namespace vexal::script
