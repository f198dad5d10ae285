// vexal-cli ready: the readiness check the Test Preparation Wizard makes.
#include <iostream>

#include "app/test_preparation.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/json_result.h"

namespace vexal::cli {

int runReady(CliContext& context) {
    CliSession session(context);
    if (const int rc = session.open(); rc != kExitDone) return session.finish(rc);
    // The check takes five seconds at least: say what is going on.
    if (!context.options().quiet && !context.options().json) std::cerr << app::kCheckingReadiness << std::endl;
    const bool ready = app::CheckUnitReadiness(session.doc(), context.op());
    session.printNewLines();
    if (context.options().json)
        JsonResult::run()["ready"] = ready;  // the status member names the last TEST UNIT READY's
    else if (!context.options().quiet)
        std::cout << (ready ? app::kWizardReady : app::kWizardNotReady) << "\n";
    return session.finish(ready ? kExitDone : kExitFailed);
}

}  // namespace vexal::cli
