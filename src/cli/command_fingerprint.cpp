// vexal-cli fingerprint: writes the fingerprint file beside each script named (engineering
// mode), so that the script loads where a fingerprint is demanded.
#include <iostream>

#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/script_path.h"
#include "script/fingerprint_file.h"

namespace vexal::cli {

int runFingerprint(CliContext& context, const std::vector<std::string>& scripts) {
    CliSession session(context);
    if (const int rc = session.open(false); rc != kExitDone) return session.finish(rc);
    if (!session.app().engineeringMode) {
        std::cerr << "Writing a script's fingerprint needs engineering mode: give --engineering.\n";
        return session.finish(kExitUsage);
    }
    // Every script is tried; one that fails does not keep the others from theirs.
    int rc = kExitDone;
    for (const std::string& name : scripts) {
        const script::FingerprintOutcome outcome = script::WriteFingerprintFile(resolveScriptPath(name));
        if (outcome.result == script::FingerprintWrite::Written) {
            if (!context.options().quiet) std::cout << outcome.message << "\n";
        } else {
            std::cerr << outcome.message << "\n";
            rc = kExitFailed;
        }
    }
    return session.finish(rc);
}

}  // namespace vexal::cli
