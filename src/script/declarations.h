#pragma once
// The declaration handlers of phase 1. Each takes the line after its keyword (comment,
// parentheses and semicolons already gone), adds one record to one table and returns 0,
// or sets the engine's error code and returns 1 (adding nothing).
#include <string_view>

#include "script/script_engine.h"

namespace vexal::script {

int declareVariable(ScriptEngine& engine, VarType type, std::string_view rest, const SourcePosition& at);
int declareBuffer(ScriptEngine& engine, std::string_view rest, const SourcePosition& at);
int declareCdb(ScriptEngine& engine, std::string_view rest, const SourcePosition& at);
int declareSenseKeys(ScriptEngine& engine, std::string_view rest, const SourcePosition& at);
int declareLogPage(ScriptEngine& engine, std::string_view rest, const SourcePosition& at);
int declareColor(ScriptEngine& engine, std::string_view rest, const SourcePosition& at);
int declareFile(ScriptEngine& engine, std::string_view rest, const SourcePosition& at);
int declareChart(ScriptEngine& engine, std::string_view rest, const SourcePosition& at);
// `text` is the label line without its colon.
int declareLabel(ScriptEngine& engine, std::string_view text, const ScriptSymbol& position);
// An internal sense line "* WORD value" (the whole line).
int checkInternalSenseLine(ScriptEngine& engine, std::string_view line);

}  // namespace vexal::script
