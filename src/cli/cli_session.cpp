#include "cli/cli_session.h"

#include <unistd.h>

#include <iostream>

#include "cli/json_result.h"
#include "command/status_names.h"
#include "diag/tape_alert_dialog.h"
#include "log/line_style.h"

namespace vexal::cli {

void TerminalSessionHooks::lostLogLine(std::string_view text) { std::cerr << text << "\n"; }

void TerminalSessionHooks::showTapeAlerts(const diag::TapeAlertDialogModel& model) {
    for (const auto& line : diag::tapeAlertReport(model)) std::cerr << line << "\n";
}

CliSession::CliSession(CliContext& context)
    : context_(context), session_(context.op(), hooks_), onSignal_(session_) {}

CliSession::~CliSession() = default;

int CliSession::open(bool needDevice) {
    const GlobalOptions& o = context_.options();
    if (session_.Begin({o.engineering, false}) == app::SessionStart::EngineeringRefused) {
        std::cerr << "Engineering mode was not entered: the pass phrase was not given or not accepted.\n";
        return kExitUsage;
    }
    context_.setWizardPrivileges(session_.app().wizardPrivileges);
    session_.OpenDocument();
    colours_.load();
    colour_ = o.color == "always" || (o.color == "auto" && ::isatty(STDOUT_FILENO) && !o.json);
    printed_ = doc().lines().size();  // the view's header line is not printed

    if (!needDevice) return kExitDone;
    if (const int rc = context_.scan(); rc != kExitDone) return rc;
    device::DeviceEntry entry;
    if (const int rc = context_.resolveDevice(entry); rc != kExitDone) return rc;
    session_.UseDevice(context_.scanner(), entry, context_.scanner().partial());
    if (o.log) session_.EnableLog();
    return kExitDone;
}

command::ScsiResult CliSession::run() {
    doc().RunCommandSync();
    printNewLines();
    return doc().lastResult;
}

void CliSession::printNewLines() {
    if (!session_.hasDocument()) return;
    const size_t count = doc().lines().size();
    if (count <= printed_) return;
    const bool json = context_.options().json;  // the lines go into the JSON document instead
    for (const std::string& line : doc().lines().range(printed_, count - printed_)) {
        const log::LineStyle style = log::classifyLine(line, carry_, colours_);
        const std::string_view shown = std::string_view(line).substr(std::min(style.skip, line.size()));
        if (json) JsonResult::run().addLine(std::string(shown));
        else if (colour_) std::cout << log::ansiForeground(style.colour) << shown << log::kAnsiReset << "\n";
        else std::cout << shown << "\n";
    }
    if (!json) std::cout.flush();
    printed_ = count;
}

void CliSession::showAllLines() {
    printed_ = log::firstDrawnLine(doc().lines().size());
    carry_ = false;
    printNewLines();
}

void CliSession::recordResult(command::ScsiResult result, bool senseIsData) {
    result_ = result;
    senseIsData_ = senseIsData;
}

int CliSession::finish(int rc) {
    if (session_.ended()) return rc;
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
