#pragma once
// Statements whose arguments are buffers and variables in a fixed order: each argument is
// checked in turn with its own codes (one for an unknown name, one for a wrong type), and
// the buffers and variables found are handed back for the run.
#include <array>
#include <cstdint>
#include <initializer_list>

#include "script/script_text.h"
#include "script/statement_context.h"

namespace vexal::script {

struct Argument {
    bool isBuffer;
    std::initializer_list<VarType> types;
    int32_t unknown, type;
};

inline Argument bufferArgument(int32_t code) { return {true, {}, code, code}; }
inline Argument variableArgument(std::initializer_list<VarType> types, int32_t unknown, int32_t type) {
    return {false, types, unknown, type};
}

// What the arguments named, by position.
struct Resolved {
    static constexpr size_t kMax = 6;
    std::array<ScriptBuffer*, kMax> buffers{};
    std::array<ScriptVariable*, kMax> variables{};
};

inline int checkArguments(StatementContext& ctx, std::initializer_list<Argument> arguments, Resolved* resolved = nullptr) {
    WordReader words(ctx.args);
    size_t i = 0;
    for (const Argument& a : arguments) {
        const std::string_view word = words.next();
        if (a.isBuffer) {
            ScriptBuffer* buffer = ctx.buffer(word);
            if (!buffer) return ctx.fail(a.unknown);
            if (resolved && i < Resolved::kMax) resolved->buffers[i] = buffer;
        } else {
            if (ctx.needVariable(word, a.types, a.unknown, a.type)) return 1;
            if (resolved && i < Resolved::kMax) resolved->variables[i] = ctx.variable(word);
        }
        ++i;
    }
    return 0;
}

}  // namespace vexal::script
