#pragma once
// Whether a script load demands the script's fingerprint, decided in one place for both
// front ends: from the application's mode and whether a pass phrase is remembered.
namespace vexal::script {
class ScriptEngine;
}

namespace vexal::app {

class CFalderApp;

// Sets the demand of the engine's next loads (and of every file they include): never in
// engineering mode, in customer mode only while no pass phrase is remembered.
void SetUpFingerprintDemand(script::ScriptEngine& engine, const CFalderApp& app);

}  // namespace vexal::app
