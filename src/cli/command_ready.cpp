// vexal-cli ready: the readiness check the Test Preparation Wizard makes.
#include <iostream>

#include <nlohmann/json.hpp>

#include "app/test_preparation.h"
#include "cli/cli_session.h"
#include "cli/commands.h"

namespace vexal::cli {

int runReady(CliContext& context) {
    CliSession session(context);
    if (const int rc = session.open(); rc != kExitDone) return session.finish(rc);
    // The check takes five seconds at least: say what is going on.
    if (!context.options().quiet && !context.options().json) std::cerr << app::kCheckingReadiness << std::endl;
    const bool ready = app::CheckUnitReadiness(session.doc(), context.op());
    session.printNewLines();
    if (context.options().json)
        std::cout << nlohmann::json{{"ready", ready}, {"status", session.doc().device().status.lastStatus}}.dump(2)
                  << "\n";
    else if (!context.options().quiet)
        std::cout << (ready ? app::kWizardReady : app::kWizardNotReady) << "\n";
    return session.finish(ready ? kExitDone : kExitFailed);
}

}  // namespace vexal::cli
