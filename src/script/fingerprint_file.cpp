#include "script/fingerprint_file.h"

#include "script/fingerprint.h"
#include "script/scramble.h"
#include "script/script_files.h"
#include "script/script_text.h"

namespace vexal::script {
namespace fs = std::filesystem;

FingerprintOutcome WriteFingerprintFile(const fs::path& requested) {
    FingerprintOutcome outcome;
    const fs::path script = resolveCaseInsensitive(requested);
    outcome.fingerprint = resolveCaseInsensitive(FingerprintPath(script));
    if (upperCopy(script.extension().string()) == ".FPF") {
        // Its fingerprint's name is its own: "fingerprint Scripts/*" must not replace the
        // fingerprints of the scripts it lists with fingerprints of themselves.
        outcome.result = FingerprintWrite::NotAScript;
        outcome.message = requested.string() + " is a fingerprint file, not a script.";
        return outcome;
    }
    std::string bytes;
    if (!readWholeFile(script, bytes)) {
        outcome.result = FingerprintWrite::ScriptUnreadable;
        outcome.message = "Cannot read the script " + requested.string() + ".";
        return outcome;
    }
    const LockMode mode = RecogniseLockMode(bytes);
    if (mode == LockMode::NotText) {
        outcome.result = FingerprintWrite::NotText;
        outcome.message = "The script " + script.string() + " is not a text file: no fingerprint was written.";
        return outcome;
    }
    const std::string plain = mode == LockMode::Plain ? std::move(bytes) : Unscramble(bytes, mode);
    std::error_code ec;
    const bool existed = fs::exists(outcome.fingerprint, ec);
    if (!replaceFileAtomically(outcome.fingerprint, MakeFingerprint(plain))) {
        outcome.result = FingerprintWrite::WriteFailed;
        outcome.message = "Cannot write the fingerprint file " + outcome.fingerprint.string() + ".";
        return outcome;
    }
    // A new file is readable by whoever may read the script (the temporary file it was
    // written through is private to its owner).
    if (const fs::file_status scriptStatus = fs::status(script, ec); !existed && !ec) {
        constexpr auto kExecute = fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
        fs::permissions(outcome.fingerprint, scriptStatus.permissions() & ~kExecute, ec);
    }
    outcome.result = FingerprintWrite::Written;
    outcome.message = "Fingerprint written: " + outcome.fingerprint.string();
    return outcome;
}

}  // namespace vexal::script
