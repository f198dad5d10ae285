// The executor: walks the statement list with a program counter, calls each statement's
// handler with `executing` set, and ends at the end of the list, at EXIT or a stop request,
// at the document's abort flag, or at the first run-time error.
#include <chrono>

#include "script/chart_objects.h"
#include "script/keyword_table.h"
#include "script/number_literals.h"
#include "script/script_engine.h"
#include "script/script_error_codes.h"
#include "script/script_text.h"
#include "script/statement_handlers.h"

namespace vexal::script {

void ScriptEngine::setDocument(document::CFalderDoc* doc) {
    doc_ = doc;
    out_ = doc ? &doc->output() : nullptr;
}

void ScriptEngine::jumpTo(int32_t statement) {
    tables_.statements.setCursor(statement);
    state_.jumpTaken = true;
}

bool ScriptEngine::callTo(int32_t statement) {
    if (!state_.calls.push(currentStatement())) return false;
    jumpTo(statement);
    return true;
}

int32_t ScriptEngine::returnFromCall() {
    int32_t caller = 0;
    if (!state_.calls.pop(caller)) return err::RETURN_WITH_NO_PREVIOUS_CALL_DETECTED;
    // Without `jumpTaken` the executor advances past the CALL.
    if (!tables_.statements.setCursor(caller)) return err::INVALID_RETURN_VECTOR;
    return 0;
}

bool ScriptEngine::jumpToLabel(std::string_view label) {
    const ScriptSymbol* symbol = label.empty() ? nullptr : tables_.symbols.find(label);
    if (!symbol || symbol->target < 0 || static_cast<size_t>(symbol->target) >= tables_.statements.size())
        return false;
    jumpTo(symbol->target);
    return true;
}

void ScriptEngine::closeScriptFiles() {
    for (auto& file : tables_.files) {
        file->stream.reset();
        file->mode = -1;
    }
    CloseOpenCharts(*this);
}

bool ScriptEngine::waitForTrigger() {
    // The wait is sliced so that a stop request or an abort is seen even when nobody
    // triggers any more.
    for (;;) {
        if (trigger_->wait(std::chrono::milliseconds(100))) break;
        if (stopRequested_ || (doc_ && doc_->abortRequested.load())) break;
    }
    trigger_->reset();
    done_->reset();
    return !stopRequested_;
}

int ScriptEngine::finishRun(int result) {
    state_.executing = false;
    if (result != 0) state_.calls.clear();
    trail_.close();
    return result;
}

int ScriptEngine::Run() {
    if (!loaded_) return 1;  // nothing to run: the load reported why
    StatementList& list = tables_.statements;
    list.rewind();
    stopRequested_ = false;
    state_.jumpTaken = false;
    state_.holdStatement = false;
    state_.executing = true;
    state_.calls.clear();
    state_.exitValue = 0;
    state_.failStatements = 0;
    closeScriptFiles();

    for (;;) {
        if (stopRequested_) return finishRun(0);
        if (state_.holdStatement) state_.holdStatement = false;
        if (list.atEnd()) return finishRun(0);
        StatementRecord& record = list[list.cursor()];
        if (stepMode_ && out_) out_->addToView(std::string(kScriptMessagePrefix) + record.text);
        done_->set();
        if (stepMode_ && !waitForTrigger()) return finishRun(0);
        if (doc_ && doc_->abortRequested.load()) return finishRun(0);

        fileId_ = record.fileId;
        line_ = record.line;
        errorCode_ = 0;
        if ((record.fastRun ? record.fastRun(*this, record) : executeRecord(record)) != 0) {
            state_.calls.clear();
            report(errorCode_);
            return finishRun(1);
        }
        if (state_.jumpTaken) state_.jumpTaken = false;
        else list.advance();
    }
}

// The statement's text after its first word; where it starts is found once.
std::string_view ScriptEngine::argumentsOf(StatementRecord& record) {
    if (record.argsAt < 0) {
        const std::string_view text = record.text;
        record.argsAt = static_cast<int32_t>(afterFirstWord(text).data() - text.data());
    }
    return std::string_view(record.text).substr(static_cast<size_t>(record.argsAt));
}

int ScriptEngine::executeRecord(StatementRecord& record) {
    if (record.opcode >= 0) {
        const auto table = keywordTable();
        if (static_cast<size_t>(record.opcode) >= table.size() || !table[record.opcode].handler)
            return setError(err::EXE_UNKNOWN_CMD);
        StatementContext ctx{*this, record, argumentsOf(record)};
        return table[record.opcode].handler(ctx);
    }
    if (record.target) {
        StatementContext ctx{*this, record, argumentsOf(record)};
        return executeAssignment(ctx) != 0 ? setError(err::EXE_UNABLE_TO_PROCESS_VARIABLE) : 0;
    }
    if (!record.text.empty() && record.text.front() == '*') return executeInternalSense(record);
    return executeOther(record);
}

// "* SK 03": presets one byte of the last sense.
int ScriptEngine::executeInternalSense(const StatementRecord& record) {
    WordReader words(std::string_view(record.text).substr(1));
    const std::string word = upperCopy(words.next());
    const uint8_t value = static_cast<uint8_t>(ParseWordValue(words.next()));
    LastSense& s = lastSense_;
    if (word == "SK") s.senseKey = value;
    else if (word == "ASC") s.asc = value;
    else if (word == "ASCQ") s.ascq = value;
    else if (word == "ILI") s.ili = value;
    else if (word == "EOM") s.eom = value;
    else if (word == "FM") s.fm = value;
    else return setError(err::K_PHASE1_UNKNOWN_INTERNAL_TRIGGER_DETECTED);
    return 0;
}

// A line that starts with a log page's name: a packet statement of an event page, else no
// statement the executor can run.
int ScriptEngine::executeOther(StatementRecord& record) {
    std::string text = record.text;
    blankOutText(text, "->");
    WordReader words(text);
    const LogPageObject* page = tables_.logPages.find(words.next());
    if (!page) return setError(err::UNRECOGNIZABLE_LINE);
    if (page->kind != LogPageKind::Packets) return setError(err::EXE_UNRECOGNIZABLE_LINE);
    StatementContext ctx{*this, record, words.rest()};
    return stmtPacket(ctx);
}

}  // namespace vexal::script
