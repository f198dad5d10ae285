#pragma once
// How a script statement sends a command: it fills the document's pending request, the
// device's worker runs it (logging it as every command is logged), and the engine waits
// for "ScriptCmdDone", then copies the device's last sense into LastSense.
#include "command/command_request.h"
#include "script/script_engine.h"

namespace vexal::script {

// False when the engine has no document to send through (nothing was sent).
bool SendScriptCommand(ScriptEngine& engine, command::CommandRequest request);

}  // namespace vexal::script
