#pragma once
// One session of either front end: the application (settings, mode, pass phrase), the
// session log, the document and the device it talks to, and the exit sequence that ends
// it on every way out.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>

#include "app/falder_app.h"
#include "device/bus_scan.h"
#include "diag/tape_alert_dialog.h"
#include "diag/tape_alerts.h"
#include "document/falder_doc.h"
#include "log/log_system.h"

namespace vexal::app {

struct SessionOptions {
    // Enter engineering mode even when the stored mode is customer (the pass phrase is
    // asked through the operator).
    bool engineering = false;
    // Take part in the "Instance Count" (the desktop); the terminal keeps instance 1.
    bool countInstance = true;
};

enum class SessionStart { Ok, EngineeringRefused };

// What only the front end can do for the session.
class SessionHooks : public ShellHooks {
public:
    // The first session-log line that could not be written; the view line saying so is
    // already in the document.
    virtual void lostLogLine(std::string_view text) { (void)text; }
    // The Tape Alert check around each test iteration found flags.
    virtual void showTapeAlerts(const diag::TapeAlertDialogModel& model) { (void)model; }
    // The exit sequence saves what the front end keeps (the window's placement).
    virtual void saveSettings(CFalderApp& app) { (void)app; }
};

class Session {
public:
    Session(ui::Operator& op, SessionHooks& hooks);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Settings, mode (a remembered engineering mode or `options.engineering` asks for the
    // pass phrase), the instance count.
    SessionStart Begin(const SessionOptions& options);
    // The log system and the document with its view header line.
    void OpenDocument();
    // The document's device becomes `entry`: its family code and the runner's Tape Alert
    // check. `partialScan`: the scan read this device alone, so the profile's device
    // numbering does not apply. False when the device cannot be selected.
    bool UseDevice(device::BusScanner& scanner, const device::DeviceEntry& entry, bool partialScan);
    // The session log for the device's serial number.
    bool EnableLog();
    // The exit sequence: the log closed without questions, the front end's settings saved,
    // wizard privileges forgotten, the instance count given back. Runs once; safe from any
    // thread (a terminal's signal watcher) while the document is in use.
    void End();
    bool ended() const { return ended_.load(); }

    CFalderApp& app() { return app_; }
    document::CFalderDoc& doc() { return *doc_; }
    bool hasDocument() const { return doc_ != nullptr; }
    log::CLogSystem& log() { return *log_; }
    ui::Operator& op() { return op_; }
    uint8_t familyCode() const { return familyCode_; }

private:
    void reportLostLine(int error);

    ui::Operator& op_;
    SessionHooks& hooks_;
    CFalderApp app_;
    std::unique_ptr<log::CLogSystem> log_;
    std::unique_ptr<document::CFalderDoc> doc_;
    diag::TapeAlertTable tapeAlerts_;
    uint8_t familyCode_ = 0;
    std::mutex endLock_;
    std::atomic<bool> ended_{false};
};

}  // namespace vexal::app
