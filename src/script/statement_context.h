#pragma once
// What a statement handler works with: the engine, the statement's record and the text
// after its keyword. Every handler runs twice, in phase 2 (executing false: parse and
// check only) and at each execution (check again, then act); it returns 0, or 1 after
// setting the engine's error code.
#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "script/script_engine.h"

namespace vexal::script {

struct StatementContext {
    ScriptEngine& engine;
    StatementRecord& record;
    std::string_view args;

    ScriptTables& tables() const { return engine.tables(); }
    ScriptState& state() const { return engine.state(); }
    bool executing() const { return engine.state().executing; }
    int fail(int32_t code) const { return engine.setError(code); }

    ScriptVariable* variable(std::string_view name) const { return tables().variables.find(name); }
    ScriptBuffer* buffer(std::string_view name) const { return tables().buffers.find(name); }
    bool isSymbol(std::string_view name) const { return !name.empty() && tables().symbols.find(name) != nullptr; }

    // 0 when `name` is a variable of one of `types`; otherwise fails with `unknownCode`
    // (no such variable) or `typeCode` (another type).
    int needVariable(std::string_view name, std::initializer_list<VarType> types, int32_t unknownCode,
                     int32_t typeCode) const {
        const ScriptVariable* v = variable(name);
        if (!v) return fail(unknownCode);
        for (VarType t : types)
            if (v->type == t) return 0;
        return fail(typeCode);
    }
    // 0 when `name` is a buffer; otherwise fails with `code`.
    int needBuffer(std::string_view name, int32_t code) const { return buffer(name) ? 0 : fail(code); }
};

using StatementHandler = int (*)(StatementContext&);

}  // namespace vexal::script
