#include "cli/cli_session.h"

#include <signal.h>
#include <unistd.h>

#include <iostream>

#include "app/pass_phrases.h"
#include "app/user_settings.h"
#include "cli/json_result.h"
#include "command/status_names.h"
#include "diag/tape_alert_dialog.h"
#include "log/line_list.h"

namespace vexal::cli {

void TerminalSessionHooks::lostLogLine(std::string_view text) { std::cerr << text << "\n"; }

void TerminalSessionHooks::showTapeAlerts(const diag::TapeAlertDialogModel& model) {
    for (const auto& line : diag::tapeAlertReport(model)) std::cerr << line << "\n";
}

void TerminalSessionHooks::saveSettings(app::CFalderApp& app) {
    // As the desktop's closing window does: a run with wizard privileges never leaves the
    // next one starting in engineering mode (its pass phrase is forgotten at exit).
    if (app.wizardPrivileges) app::WriteSetting("ShowEngineeringMode", 0);
}

CliSession::CliSession(CliContext& context)
    : context_(context), session_(context.op(), hooks_), onSignal_(session_) {}

CliSession::~CliSession() {
    if (session_.hasDocument()) LinePrinter::detach(doc().lines());
}

int CliSession::open(bool needDevice) {
    const GlobalOptions& o = context_.options();
    if (session_.Begin({o.engineering, false}) == app::SessionStart::EngineeringRefused) {
        std::cerr << kEngineeringRefused << "\n";
        return kExitUsage;
    }
    if (o.engineering && !takeOfferedPhrase()) {
        std::cerr << kEngineeringRefused << "\n";
        return kExitUsage;
    }
    context_.setWizardPrivileges(session_.app().wizardPrivileges);
    if (context_.required().access == Access::Engineering && !session_.app().engineeringMode) {
        std::cerr << accessRefusal(context_.required()) << "\n";
        return kExitUsage;
    }
    session_.OpenDocument();
    const bool colour = o.color == "always" || (o.color == "auto" && ::isatty(STDOUT_FILENO) && !o.json);
    printer_ = std::make_shared<LinePrinter>(colour, o.json, [&op = context_.op()](bool before) {
        if (before) op.clearProgressLine();
        else op.redrawProgress();
    });
    printer_->setQuiet(o.quiet);
    LinePrinter::attach(printer_, doc().lines());
    abort_ = std::make_unique<CommandAbort>(doc());
    listen();

    if (!needDevice) return kExitDone;
    if (const int rc = context_.scan(); rc != kExitDone) return rc;
    device::DeviceEntry entry;
    if (const int rc = context_.resolveDevice(entry); rc != kExitDone) return rc;
    session_.UseDevice(context_.scanner(), entry, context_.scanner().partial());
    return o.log ? enableLog() : kExitDone;
}

int CliSession::enableLog() {
    if (session_.EnableLog()) return kExitDone;
    const std::string folder = session_.log().folder().string();
    std::cerr << "No session log could be created" << (folder.empty() ? "" : " in " + folder)
              << ", so nothing was done (--log).\n";
    return kExitTransport;
}

bool CliSession::takeOfferedPhrase() {
    // A remembered engineering mode asks for nothing; a phrase given all the same is
    // checked: the wizard's is taken as the desktop's wizard access takes it, the
    // engineering one has nothing to add, any other is wrong.
    app::CFalderApp& app = session_.app();
    const char* phrase = context_.op().untakenSecret();
    if (!phrase || !app.engineeringMode || app.wizardPrivileges) return true;
    const std::string digest = app::md5Hex(phrase);
    if (digest == app::engineeringDigest()) return true;
    if (digest != app::wizardDigest()) return false;
    app.WizardAccess();
    return true;
}

command::ScsiResult CliSession::run() {
    // Ctrl+C came before the command was sent (during the scan): it is not sent at all.
    if (interrupted()) {
        printNewLines();
        return 0xAA02;  // SRB_STATUS_ABORTED
    }
    doc().RunCommandSync();
    printNewLines();
    return doc().lastResult;
}

void CliSession::printNewLines() {
    if (printer_ && session_.hasDocument()) printer_->printNew(doc().lines());
}

void CliSession::stopLivePrinting() {
    if (session_.hasDocument()) LinePrinter::detach(doc().lines());
}

void CliSession::showAllLines() {
    if (printer_) printer_->printFrom(doc().lines(), log::firstDrawnLine(doc().lines().size()));
}

void CliSession::listen() {
    onInterrupt_.reset();  // its unregistering must come before the new handler, not after
    onInterrupt_ = std::make_unique<HandlerOnSignal>([this](int signal) {
        if (signal == SIGTERM && !interruptOnTerminate_) return false;
        abort_->start(alsoOnInterrupt_);
        return true;
    });
}

void CliSession::onInterrupt(std::function<void()> also, bool onTerminate) {
    // Not while the watcher may be calling the handler: it reads both under its lock.
    onInterrupt_.reset();
    alsoOnInterrupt_ = std::move(also);
    interruptOnTerminate_ = onTerminate;
    if (abort_) listen();
}

void CliSession::recordResult(command::ScsiResult result, bool senseIsData) {
    result_ = result;
    senseIsData_ = senseIsData;
}

int CliSession::finish(int rc) {
    // From here a signal ends the program: nothing is left to abort.
    onInterrupt_.reset();
    if (abort_) {
        abort_->wait();
        if (abort_->requested() && rc == kExitDone) rc = kExitFailed;
    }
    const std::string& question = context_.op().refusedQuestion();
    if (!question.empty()) rc = kExitUsage;
    if (session_.ended()) return rc;
    if (!question.empty())
        std::cerr << "No one can answer this question here: " << question
                  << " Give --yes or an --answers line to answer it.\n";
    const GlobalOptions& o = context_.options();
    if (result_ && session_.hasDocument()) {
        const auto& state = doc().device().status;
        // A failure without sense data leaves the status name of an earlier command: name
        // this one from its result then.
        JsonResult::run().setOutcome(state.lastStatus.empty() ? command::statusName(*result_) : state.lastStatus,
                                     result_, *result_ != 0 || senseIsData_ ? state.lastSense : command::LastSense{});
    } else if (session_.hasDocument() && !doc().device().status.lastStatus.empty()) {
        // Several commands of this run (a check, a dump): the last one's status name.
        JsonResult::run().setOutcome(doc().device().status.lastStatus, std::nullopt, {});
    }
    if (session_.hasDocument() && !o.saveFile.empty()) {
        std::string error;
        if (!doc().lines().save(o.saveFile, error)) {
            std::cerr << "Cannot save the lines to " << o.saveFile << ": " << error << "\n";
            if (rc == kExitDone) rc = kExitTransport;
        }
    }
    session_.End();
    return rc;
}

}  // namespace vexal::cli
