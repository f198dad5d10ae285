// vexal-cli fingerprint: writes the fingerprint file beside each script named (engineering
// mode), so that the script loads where a fingerprint is demanded.
#include <iostream>

#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/json_result.h"
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
    nlohmann::json written = nlohmann::json::array();
    for (const std::string& name : scripts) {
        const script::FingerprintOutcome outcome = script::WriteFingerprintFile(resolveScriptPath(name));
        written.push_back({{"script", name},
                           {"written", outcome.result == script::FingerprintWrite::Written},
                           {"message", outcome.message}});
        if (outcome.result == script::FingerprintWrite::Written) {
            if (!context.options().quiet && !context.options().json) std::cout << outcome.message << "\n";
        } else {
            std::cerr << outcome.message << "\n";
            rc = kExitFailed;
        }
    }
    JsonResult::run()["scripts"] = std::move(written);
    return session.finish(rc);
}

}  // namespace vexal::cli
