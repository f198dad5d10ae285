#pragma once
// Writing a script's fingerprint file. Both front ends and the build's own tool come
// through here, so they all write the same files.
#include <filesystem>
#include <string>

namespace vexal::script {

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

}  // namespace vexal::script
