#include "cli/cli_session.h"

#include <unistd.h>

#include <iostream>

#include "app/runner_tape_alerts.h"
#include "diag/tape_alert_check.h"
#include "diag/tape_alert_dialog.h"
#include "log/line_style.h"
#include "platform/system_info.h"

namespace vexal::cli {

CliSession::CliSession(CliContext& context) : context_(context), app_(context.op(), shell_) {}

CliSession::~CliSession() = default;

int CliSession::open(bool needDevice) {
    const GlobalOptions& o = context_.options();
    app_.LoadSettings();
    if (o.engineering || app_.settings.showEngineeringMode) {
        if (!app_.EnterEngineeringMode()) {
            if (o.engineering) {
                std::cerr << "Engineering mode was not entered: the pass phrase was not given or not accepted.\n";
                return kExitUsage;
            }
        }
    }
    context_.setWizardPrivileges(app_.wizardPrivileges);
    platform::SystemInformation system;
    platform::SystemInfo(system);
    log_ = std::make_unique<log::CLogSystem>(context_.op(), system);
    doc_ = std::make_unique<document::CFalderDoc>(context_.op(), *log_, [this] { return app_.engineeringMode; });
    colours_.load();
    colour_ = o.color == "always" || (o.color == "auto" && ::isatty(STDOUT_FILENO) && !o.json);
    printed_ = doc_->lines().size();  // the view's header line is not printed

    if (!needDevice) return kExitDone;
    if (const int rc = context_.scan(); rc != kExitDone) return rc;
    device::DeviceEntry entry;
    if (const int rc = context_.resolveDevice(entry); rc != kExitDone) return rc;
    doc_->device().Select(entry.index);
    if (context_.scanner().partial()) {
        // Device 0 of a one-device list is not device 0 of the profile.
        doc_->device().serialNumber = entry.serialNumber;
        doc_->device().labeledIndex = -1;
    }
    familyCode_ = context_.scanner().DriveFamily(entry.index);
    doc_->device().familyCode = familyCode_;
    // The Tape Alert check before and after each test iteration, when the option is on.
    doc_->tapeAlertCheck = app::RunnerTapeAlertHook(*doc_, tapeAlerts_, app_, [](const diag::TapeAlertDialogModel& model) {
        for (const auto& line : diag::tapeAlertReport(model)) std::cerr << line << "\n";
    });
    if (o.log) log_->Enable(doc_->device().serialNumber);
    return kExitDone;
}

command::ScsiResult CliSession::run() {
    doc_->RunCommandSync();
    printNewLines();
    return doc_->lastResult;
}

void CliSession::printNewLines() {
    if (context_.options().json) return;
    const size_t count = doc_->lines().size();
    if (count <= printed_) return;
    for (const std::string& line : doc_->lines().range(printed_, count - printed_)) {
        const log::LineStyle style = log::classifyLine(line, carry_, colours_);
        const std::string_view shown = std::string_view(line).substr(std::min(style.skip, line.size()));
        if (colour_) std::cout << log::ansiForeground(style.colour) << shown << log::kAnsiReset << "\n";
        else std::cout << shown << "\n";
    }
    std::cout.flush();
    printed_ = count;
}

int CliSession::finish(int rc) {
    const GlobalOptions& o = context_.options();
    if (doc_ && !o.saveFile.empty()) {
        std::string error;
        if (!doc_->lines().save(o.saveFile, error)) {
            std::cerr << "Cannot save the lines to " << o.saveFile << ": " << error << "\n";
            if (rc == kExitDone) rc = kExitTransport;
        }
    }
    if (log_ && log_->isOpen()) log_->Close(true);
    doc_.reset();
    return rc;
}

}  // namespace vexal::cli
