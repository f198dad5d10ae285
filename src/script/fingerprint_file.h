#pragma once
// A script's fingerprint file on disk: writing one for a script, and setting up whether a
// load demands one. Both front ends come through here, so the desktop and the terminal
// write the same files and demand them in the same modes.
#include <filesystem>
#include <string>

namespace vexal::app {
class CFalderApp;
}

namespace vexal::script {

class ScriptEngine;

enum class FingerprintWrite {
    Written,
    ScriptUnreadable,  // missing, not a regular file, too large or not readable
    NotText,           // neither plain text nor a scrambled form the loader can read
    NotAScript,        // a fingerprint file itself, which would be overwritten
    WriteFailed,       // the fingerprint file could not be replaced
};

struct FingerprintOutcome {
    FingerprintWrite result = FingerprintWrite::ScriptUnreadable;
    std::filesystem::path fingerprint;  // the file written, or that would have been
    std::string message;                // one sentence for the operator
};

// Fingerprints the text the loader reads from `script` (a scrambled script is fingerprinted
// by its plain text; the script itself is left as it is) and replaces the fingerprint file
// beside it atomically. Names are matched case-insensitively as the loader matches them.
FingerprintOutcome WriteFingerprintFile(const std::filesystem::path& script);

// Sets whether the engine's next loads, and every file they include, demand a matching
// fingerprint: from the application's mode and whether a pass phrase is remembered.
void SetUpFingerprintDemand(ScriptEngine& engine, const app::CFalderApp& app);

}  // namespace vexal::script
