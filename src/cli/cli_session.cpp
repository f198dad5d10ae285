#include "cli/cli_session.h"
#include "cli/quiet_lines.h"

#include <unistd.h>

#include <iostream>

#include <nlohmann/json.hpp>

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
    if (context_.options().json || !session_.hasDocument()) return;
    const size_t count = doc().lines().size();
    if (count <= printed_) return;
    for (const std::string& line : doc().lines().range(printed_, count - printed_)) {
        const log::LineStyle style = log::classifyLine(line, carry_, colours_);
        if (context_.options().quiet && !shownWhenQuiet(line)) continue;
        const std::string_view shown = std::string_view(line).substr(std::min(style.skip, line.size()));
        if (colour_) std::cout << log::ansiForeground(style.colour) << shown << log::kAnsiReset << "\n";
        else std::cout << shown << "\n";
    }
    std::cout.flush();
    printed_ = count;
}

void CliSession::showAllLines() {
    if (context_.options().json) {
        std::cout << nlohmann::json(doc().lines().drawnLines()).dump(2) << "\n";
        return;
    }
    printed_ = log::firstDrawnLine(doc().lines().size());
    carry_ = false;
    printNewLines();
}

int CliSession::finish(int rc) {
    if (session_.ended()) return rc;
    const GlobalOptions& o = context_.options();
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
