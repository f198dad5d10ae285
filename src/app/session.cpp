#include "app/session.h"

#include "app/lost_log_line.h"
#include "app/runner_tape_alerts.h"
#include "platform/system_info.h"

namespace vexal::app {

Session::Session(ui::Operator& op, SessionHooks& hooks) : op_(op), hooks_(hooks), app_(op, hooks) {}

Session::~Session() {
    End();
    doc_.reset();
}

SessionStart Session::Begin(const SessionOptions& options) {
    app_.LoadSettings();
    if (options.countInstance) app_.StartInstance();
    if (options.engineering || app_.settings.showEngineeringMode) {
        if (!app_.EnterEngineeringMode() && options.engineering) return SessionStart::EngineeringRefused;
    }
    return SessionStart::Ok;
}

void Session::OpenDocument() {
    platform::SystemInformation system;
    platform::SystemInfo(system);
    log_ = std::make_unique<log::CLogSystem>(op_, system);
    doc_ = std::make_unique<document::CFalderDoc>(op_, *log_, [this] { return app_.engineeringMode; });
    log_->setLostLineHandler([this](int error) { reportLostLine(error); });
}

void Session::reportLostLine(int error) {
    const std::string text = LostLogLineText(error);
    // Into the view only: the log is the thing that fails.
    doc_->output().addToView(text);
    hooks_.lostLogLine(text);
}

bool Session::UseDevice(device::BusScanner& scanner, const device::DeviceEntry& entry, bool partialScan) {
    if (!doc_->device().Select(entry.index)) return false;
    if (partialScan) {
        // Device 0 of a one-device list is not device 0 of the profile.
        doc_->device().serialNumber = entry.serialNumber;
        doc_->device().labeledIndex = -1;
    }
    familyCode_ = scanner.DriveFamily(entry.index);
    doc_->device().familyCode = familyCode_;
    doc_->tapeAlertCheck = RunnerTapeAlertHook(*doc_, tapeAlerts_, app_, [this](const diag::TapeAlertDialogModel& model) {
        hooks_.showTapeAlerts(model);
    });
    return true;
}

bool Session::EnableLog() { return log_->Enable(doc_->device().serialNumber); }

void Session::End() {
    const std::lock_guard lock(endLock_);
    if (ended_.exchange(true)) return;
    if (log_ && log_->isOpen()) log_->Close(true);
    hooks_.saveSettings(app_);
    app_.ExitInstance();
}

}  // namespace vexal::app
