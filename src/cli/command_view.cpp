// vexal-cli send-log, send-view and view: files of the Logs folder and saved views.
#include <iostream>

#include "app/saved_view.h"
#include "app/send_files.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/json_result.h"
#include "log/send_log.h"

namespace vexal::cli {
namespace {

// The mail program: xdg-email, unless VEXAL_MAIL_PROGRAM names another (a site's own
// mailer, or a test's stand-in).
std::string mailProgram() {
    const char* program = std::getenv("VEXAL_MAIL_PROGRAM");
    return program && *program ? program : std::string(log::kMailProgram);
}

// Success and a cancel by the user are fine; anything else was told already.
int exitForOutcome(int outcome) {
    if (outcome < 0) {
        std::cerr << "Nothing was sent: no file was chosen or the mail program " << mailProgram()
                  << " could not be run.\n";
        return kExitTransport;
    }
    return outcome == log::kMailSuccess || outcome == log::kMailUserAbort ? kExitDone : kExitFailed;
}

int openView(CliSession& session, const std::string& file) {
    std::string error;
    // The saved lines are not this session's: shown whole by `view`, not as they load.
    session.stopLivePrinting();
    if (!app::OpenSavedView(session.doc(), file, error)) {
        std::cerr << "Cannot open the view " << file << ": " << error << "\n";
        return kExitUsage;
    }
    return kExitDone;
}

}  // namespace

int runSendLog(CliContext& context, const std::string& file) {
    CliSession session(context);
    if (const int rc = session.open(false); rc != kExitDone) return session.finish(rc);
    const int outcome = app::SendLog(context.op(), file, mailProgram());
    JsonResult::run()["mail_outcome"] = outcome;
    return session.finish(exitForOutcome(outcome));
}

int runSendView(CliContext& context, const std::string& savedView) {
    CliSession session(context);
    if (const int rc = session.open(false); rc != kExitDone) return session.finish(rc);
    if (!savedView.empty())
        if (const int rc = openView(session, savedView); rc != kExitDone) return session.finish(rc);
    const bool sent = app::SendView(session.doc(), context.op(), mailProgram());
    JsonResult::run()["sent"] = sent;
    return session.finish(sent ? kExitDone : kExitFailed);
}

int runView(CliContext& context, const std::string& file) {
    CliSession session(context);
    if (const int rc = session.open(false); rc != kExitDone) return session.finish(rc);
    if (const int rc = openView(session, file); rc != kExitDone) return session.finish(rc);
    JsonResult::run()["file"] = file;
    session.showAllLines();
    return session.finish(kExitDone);
}

}  // namespace vexal::cli
