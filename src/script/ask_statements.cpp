// ASK, ASKFORTEXT, ASKFORNUMBER and ASKFORFILE: questions to the operator whose answers
// steer the script by jumping to a label. They block the run until answered.
#include <cstdlib>
#include <filesystem>
#include <string>

#include "operator/operator.h"
#include "script/buffer_text.h"
#include "script/number_literals.h"
#include "script/script_error_codes.h"
#include "script/script_text.h"
#include "script/script_values.h"
#include "script/statement_handlers.h"

namespace vexal::script {
namespace {

bool isTrigger(std::string_view w, std::string_view a, std::string_view b) { return equalsUpper(w, a) || equalsUpper(w, b); }

// The text of the arguments before `word` (a view into them), trimmed.
std::string_view textBefore(std::string_view args, std::string_view word) {
    return trimBlanks(args.substr(0, static_cast<size_t>(word.data() - args.data())));
}

// "\r" and "\n" become a carriage return and a line feed; with `crlf`, "\n" gives both and
// "\t" a tab. Other backslashes stay.
std::string withEscapes(std::string_view text, bool crlf) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (text[i] == '\\' && !crlf && (next == 'r' || next == 'n')) {
            out.push_back(next == 'r' ? '\r' : '\n');
            ++i;
        } else if (text[i] == '\\' && crlf && (next == 'n' || next == 't')) {
            out.append(next == 'n' ? "\r\n" : "\t");
            ++i;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

// Jumps to `label` when `answered` matches the trigger.
int follow(StatementContext& ctx, bool jump, std::string_view label, int32_t badLabel) {
    if (!jump) return 0;
    return ctx.engine.jumpToLabel(label) ? 0 : ctx.fail(badLabel);
}

// The edit field's width for ASKFORNUMBER by type and radix.
size_t numberWidth(VarType type, bool hex) {
    switch (type) {
        case VarType::Byte: return hex ? 2 : 3;
        case VarType::Word: return hex ? 4 : 5;
        case VarType::Long: return hex ? 8 : 10;
        case VarType::Double: return hex ? 16 : 20;
    }
    return 0;
}

}  // namespace

int stmtAsk(StatementContext& ctx) {
    const auto w = splitWords(ctx.args);
    if (w.empty()) return ctx.fail(err::ASK_NO_QUESTION_SPECIFIED);
    if (!ctx.isSymbol(w.back())) return ctx.fail(err::ASK_INVALID_VECTOR_SPECIFIED);
    if (w.size() < 2 || !isTrigger(w[w.size() - 2], "ONYES", "ONNO")) return ctx.fail(err::ASK_NO_VECTOR_DETECTED);
    if (w.size() < 3) return ctx.fail(err::ASK_NO_QUESTION_SPECIFIED);
    if (!ctx.executing() || !ctx.engine.op()) return 0;
    const std::string question = withEscapes(textBefore(ctx.args, w[w.size() - 2]), false);
    const ui::Button answer = ctx.engine.op()->message(question, "Vexal", ui::Icon::Question, ui::Buttons::YesNo, ui::Button::Yes);
    const bool onYes = equalsUpper(w[w.size() - 2], "ONYES");
    return follow(ctx, onYes ? answer == ui::Button::Yes : answer == ui::Button::No, w.back(), err::ASK_INVALID_VECTOR_SPECIFIED);
}

int stmtAskForText(StatementContext& ctx) {
    const auto w = splitWords(ctx.args);
    if (w.size() < 5) return ctx.fail(err::ASK4TEXT_INVALID_NUMBER_OF_ARGS);
    const size_t n = w.size();
    if (!ctx.isSymbol(w[n - 1])) return ctx.fail(err::ASK4TEXT_INVALID_SYMBOL_ARG);
    if (!isTrigger(w[n - 2], "ONOK", "ONCANCEL")) return ctx.fail(err::ASK4TEXT_INVALID_TRIGGER_ARG);
    if (ClassifyNumber(w[n - 3]) != kNumberByte) return ctx.fail(err::ASK4TEXT_INVALID_LIMIT_ARG);
    ScriptBuffer* buffer = ctx.buffer(w[n - 4]);
    if (!buffer) return ctx.fail(err::ASK4TEXT_INVALID_BUFFER_SPECIFIED);
    if (!ctx.executing() || !ctx.engine.op()) return 0;

    const std::string prompt = withEscapes(textBefore(ctx.args, w[n - 4]), true);
    const size_t limit = ParseWordValue(w[n - 3]) & 0xFF;
    std::string answer;
    const bool ok = ctx.engine.op()->askText(prompt, "", answer);
    if (ok) {
        // The edit field holds at most `limit` characters (0: no limit); the buffer keeps
        // what fits.
        if (limit != 0 && answer.size() > limit) answer.resize(limit);
        writeText(*buffer, answer);
    }
    const bool onOk = equalsUpper(w[n - 2], "ONOK");
    return follow(ctx, ok == onOk, w[n - 1], err::ASK4TEXT_INVALID_SYMBOL_ARG);
}

int stmtAskForNumber(StatementContext& ctx) {
    const auto w = splitWords(ctx.args);
    if (w.size() < 5) return ctx.fail(err::ASK4NUMBER_INVALID_NUMBER_OF_ARGS);
    const size_t n = w.size();
    if (!ctx.isSymbol(w[n - 1])) return ctx.fail(err::ASK4NUMBER_INVALID_SYMBOL_ARG);
    if (!isTrigger(w[n - 2], "ONOK", "ONCANCEL")) return ctx.fail(err::ASK4NUMBER_INVALID_TRIGGER_ARG);
    if (!isTrigger(w[n - 3], "HEX", "DEC")) return ctx.fail(err::ASK4NUMBER_INVALID_MODE_ARG);
    ScriptVariable* v = ctx.variable(w[n - 4]);
    if (!v) return ctx.fail(err::ASK4NUMBER_INVALID_BUFFER_SPECIFIED);
    if (!ctx.executing() || !ctx.engine.op()) return 0;

    const bool hex = equalsUpper(w[n - 3], "HEX");
    const std::string prompt = withEscapes(textBefore(ctx.args, w[n - 4]), true);
    std::string answer;
    const bool ok = ctx.engine.op()->askText(prompt, "", answer);
    if (ok) {
        if (answer.size() > numberWidth(v->type, hex)) answer.resize(numberWidth(v->type, hex));
        std::string text = upperCopy(answer);
        for (char& c : text)
            if (c == 'H') c = ' ';
        text = std::string(trimBlanks(text));
        if (v->type == VarType::Double) {
            storeDouble(*v, std::strtod(text.c_str(), nullptr));
        } else {
            if (hex) text += 'H';
            const uint32_t value = v->type == VarType::Byte ? ParseWordValue(text) : ParseLong(text);
            storeInteger(*v, value);
        }
    }
    const bool onOk = equalsUpper(w[n - 2], "ONOK");
    return follow(ctx, ok == onOk, w[n - 1], err::ASK4NUMBER_INVALID_SYMBOL_ARG);
}

int stmtAskForFile(StatementContext& ctx) {
    const auto w = splitWords(ctx.args);
    if (w.size() != 3) return ctx.fail(err::ASK4FILE_INVALID_NUMBER_OF_ARGS);
    ScriptBuffer* buffer = ctx.buffer(w[0]);
    if (!buffer) return ctx.fail(err::ASK4FILE_INVALID_BUFFER_SPECIFIED);
    if (!isTrigger(w[1], "ONOK", "ONCANCEL")) return ctx.fail(err::ASK4FILE_INVALID_TRIGGER_ARG);
    if (!ctx.isSymbol(w[2])) return ctx.fail(err::ASK4FILE_INVALID_SYMBOL_ARG);
    if (!ctx.executing() || !ctx.engine.op()) return 0;

    static constexpr std::string_view kFilter =
        "Firmware Update Files KTX/SKTX(*.img)|*.img|Firmware Update Files RQ(*.image)|*.image|All files(*.*)|*.*|";
    std::string path;
    bool ok = ctx.engine.op()->chooseFile(ui::FileDialog::Open, "Select FUP File", kFilter, path);
    // The dialog accepts only a file that exists; an answer naming none counts as Cancel.
    std::error_code ec;
    if (ok && (path.empty() || !std::filesystem::exists(path, ec))) ok = false;
    if (ok) {
        const std::string full = std::filesystem::absolute(path, ec).string();
        if (full.size() + 1 > buffer->size()) return ctx.fail(err::KRT_ASK_FOR_FILE_BUFFER_TOO_SMALL_ERROR);
        writeText(*buffer, full);
    }
    buffer->primed = true;
    const bool onOk = equalsUpper(w[1], "ONOK");
    return follow(ctx, ok == onOk, w[2], err::ASK4FILE_INVALID_SYMBOL_ARG);
}

}  // namespace vexal::script
