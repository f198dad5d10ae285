// Phase 3: labels bound to the statements they name, and every statement that names a
// label bound to its target, so that the executor never searches by name.
#include <algorithm>

#include "script/script_engine.h"
#include "script/script_error_codes.h"
#include "script/script_text.h"

namespace vexal::script {
namespace {

bool namesALabel(int32_t opcode) {
    return (opcode >= 1 && opcode <= 4) || opcode == 6 || (opcode >= 34 && opcode <= 39) || opcode == 46 ||
           opcode == 47;
}

constexpr int32_t kOpcodeIfTrue = 37;

// The characters after the last blank, tab or comma, trailing blanks ignored.
std::string_view lastWord(std::string_view text) {
    text = trimBlanks(text);
    const size_t at = text.find_last_of(" \t,");
    return at == std::string_view::npos ? text : text.substr(at + 1);
}

// IFTRUE takes its action from wherever it stands: the word after the first JUMP or CALL.
std::string_view ifTrueLabel(std::string_view text) {
    WordReader words(text);
    for (auto w = words.next(); !w.empty(); w = words.next())
        if (equalsUpper(w, "JUMP") || equalsUpper(w, "CALL")) return words.next();
    return lastWord(text);
}

}  // namespace

bool ScriptEngine::Link() {
    trail_.append("Phase 3 : Linking...");
    StatementList& statements = tables_.statements;
    if (tables_.symbols.empty()) {
        report(err::NO_CONTEXTS_SPECIFIED);
        return false;
    }
    if (statements.empty()) {
        report(err::NO_TEXT_SPECIFIED);
        return false;
    }

    // Statements are stored in reading order, so their absolute line numbers rise: the
    // first one after a label is found by binary search.
    for (const auto& symbol : tables_.symbols) {
        const auto it = std::upper_bound(statements.begin(), statements.end(), symbol->absoluteLine,
                                         [](int32_t line, const StatementRecord& s) { return line < s.absoluteLine; });
        if (it == statements.end()) {
            fileId_ = symbol->fileId;
            line_ = symbol->line;
            report(err::CONTEXT_LINKER_ERROR);
            return false;
        }
        symbol->target = static_cast<int32_t>(it - statements.begin());
        symbol->line = it->line;
    }
    trail_.append("   Symbols Link Complete...");

    // A declaration without an initial value leaves a statement naming only its variable;
    // such variables start at 0 and are legitimately filled by later statements, so the
    // scan reports nothing.
    trail_.append("   Uninitialized Variable Scan Complete...");

    for (StatementRecord& s : statements) {
        if (!namesALabel(s.opcode)) continue;
        const std::string_view label = s.opcode == kOpcodeIfTrue ? ifTrueLabel(s.text) : lastWord(s.text);
        s.vector = kNoStatement;
        if (equalsUpper(label, "RETURN")) continue;
        if (const ScriptSymbol* symbol = tables_.symbols.find(label)) s.vector = symbol->target;
    }
    trail_.append("   Vector Linking Complete...");
    trail_.append("Phase 3 Complete.");
    return true;
}

}  // namespace vexal::script
