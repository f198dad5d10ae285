#pragma once
// The main window: the menus of the current mode, the two tool bars, the "Devices" pane,
// the log view and the status bar. Every command runs on the document's worker thread or
// its test runner; a timer brings their lines and state to the window.
#include <QMainWindow>
#include <QPointer>

#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>

#include "app/session.h"
#include "app/startup.h"
#include "document/falder_doc.h"
#include "diag/tape_alerts.h"
#include "gui/script_run.h"
#include "log/log_system.h"
#include "log/view_colours.h"

class QAction;
class QMenu;
class QSystemTrayIcon;
class QTimer;
class QToolBar;

namespace vexal::script {
class ChartOutput;
class ScriptEngine;
}

namespace vexal::gui {

class BackgroundTask;
class BusyIndicator;
class DeviceListDialog;
class DevicePane;
class DumpViewerWindow;
class FaDumpWizard;
class LogView;
class TestPreparationWizard;
class StatusPanesBar;
class ScriptRun;

struct StartOptions {
    device::ScanConfig config;
    bool transportChosen = false;  // the command line chose the transport
    bool skipCaution = false;      // unattended start (screenshots)
};

// The window is the session's front end (app::SessionHooks) and drives the start-up sequence
// (app::StartupHooks); one override serves both for the hooks they share.
class MainWindow : public QMainWindow, public app::StartupHooks, public app::SessionHooks {
    Q_OBJECT
public:
    // `op`: the operator that answers questions; null makes the window's own Qt dialogs.
    // Without `op` the window makes a desktop operator of its own, which shows the script's
    // charts too; with it, `charts` shows them (null: no chart windows).
    explicit MainWindow(ui::Operator* op = nullptr, QWidget* parent = nullptr, script::ChartOutput* charts = nullptr);
    ~MainWindow() override;

    // The start-up sequence; false ends the program.
    bool start(const StartOptions& options);

    // Start-up and mode hooks.
    void showEngineeringMenus(bool engineering) override;
    void setTitle(std::string_view title) override;
    void maximise() override;
    bool showCaution() override;
    void placeWindow(const app::UserSettings& settings) override;
    void devicesReady() override;
    void runWizard() override;
    // Session hooks.
    void showTapeAlerts(const diag::TapeAlertDialogModel& model) override;

    // One timer pass: new lines, status panes, which commands may run.
    void refresh();

    app::CFalderApp& application() { return app_; }
    app::Session& session() { return session_; }
    document::CFalderDoc& document() { return *doc_; }
    ui::Operator& op() { return *op_; }
    LogView* logView() const { return view_; }
    StatusPanesBar* statusPanes() const { return status_; }
    QToolBar* standardToolBar() const { return standardBar_; }
    QToolBar* labelledToolBar() const { return labelledBar_; }
    DevicePane* devicePane() const { return devicePane_; }
    // An action by its object name ("actInquiry", ...); null when there is none.
    QAction* action(const QString& name) const;
    bool engineeringMenusShown() const { return engineeringShown_; }
    log::ViewColours& colours() { return colours_; }
    const device::ActiveDevice& activeDevice() const { return state_.active; }
    device::BusScanner& scanner() { return scanner_; }
    bool scriptRunning() const;
    BusyIndicator* busyAnimation() const { return busy_; }
    // The tray icon; null where the desktop has no notification area.
    QSystemTrayIcon* trayIcon() const { return tray_; }
    // The tray icon's tip, kept also where there is no tray icon.
    QString trayTip() const { return trayTip_; }

    // The windows of the wizards and the dump viewer, shown without blocking the window;
    // null when they may not open now (a message told the operator why).
    TestPreparationWizard* openTestPreparationWizard();
    FaDumpWizard* openFaDumpWizard();
    // Empty `dmz`: the viewer asks for the file.
    DumpViewerWindow* openDumpViewer(const std::filesystem::path& dmz = {});
    DeviceListDialog* openDeviceList();

    // Several devices chosen for a test: the devices that stay after the unsupported ones
    // were announced and the operator confirmed; empty when declined or not idle.
    std::vector<int> confirmSeveral(const std::vector<int>& indices, bool fromPane);
    // The test on each device in turn (the multi-device run).
    bool startOnDevices(const std::vector<int>& devices, const std::string& path, const std::string& testName,
                        int iterations, bool suppressDialogs, bool fromPane);
    // Both: confirm, choose the test, run.
    bool runOnSeveral(const std::vector<int>& indices, bool fromPane);
    // Makes a device the active one; false when refused.
    bool selectDevice(int index);

    // Sends one interactive command to the selected device (dialog first when it has one).
    void sendCommand(int commandCode);
    // Runs a script on the selected device (the Select Test dialog's choice).
    bool startScript(const std::string& path, const std::string& testName, int iterations, bool suppressDialogs);
    void enterCustomerMode();
    void enterEngineeringMode();
    // Engineering mode: asks for a script and writes its fingerprint file beside it, so
    // that it loads where a fingerprint is demanded; the outcome is shown.
    void writeScriptFingerprint();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Actions and menus (main_window_menus.cpp).
    QAction* makeAction(const char* name, const QString& text, std::function<void()> handler,
                        const QKeySequence& key = {});
    QAction* commandAction(const char* name, const QString& text, int commandCode);
    void createActions();
    void buildMenus();
    void createToolBars();
    // Each menu's actions and handlers, in main_window_<menu>.cpp.
    void createFileActions();
    void createViewActions();
    void createCommandActions();
    void createTestActions();
    void createModeActions();
    void createHelpActions();
    // The labelled tool bar's own commands: Ready, Firmware, FUP Tape, FA Dump, Wizard.
    void createToolActions();

    // File menu.
    void saveView(bool askName);
    // View menu.
    void clearView();
    void askClearView(bool entering);
    void tapeAlerts();
    void showMam();
    void showEeprom();
    // Commands menu.
    void populateDevices();
    bool confirmDevice();
    void adoptDocumentDevice();
    void rescan();
    // What follows every scan: its notes, the active device, the device list.
    void afterRescan(bool hadDevices);
    void showScanNotes();
    // Tests menu.
    void runTestDialog();
    void abortTest();
    // Mode and Settings menus.
    void switchTransport(device::TransportKind kind);
    void preferences();
    // Set Defaults: true when the operator confirmed (the colours are reset too).
    bool resetDefaults();
    // Help menu.
    void about();
    void openHelp(bool releaseNotes);
    void openUrl(const char* url);
    // Tool bar commands.
    void readinessCheck();
    void showLastCommandLines();
    void firmwareUpdate();
    void fupTape();
    // Runs `work` on the drive off the window's thread; what it writes to its stream is
    // shown at the end.
    void runDeviceWork(std::function<void(std::ostream&)> work);
    // The FA dump or the readiness check is using the drive.
    bool backgroundBusy() const;
    void restoreFromTray();

    std::unique_ptr<ui::Operator> ownOperator_;
    ui::Operator* op_;
    // The session owns the application, the session log and the document; the three below
    // name its parts.
    script::ChartOutput* charts_;
    app::Session session_;
    app::CFalderApp& app_;
    log::CLogSystem* log_ = nullptr;
    document::CFalderDoc* doc_ = nullptr;
    device::BusScanner scanner_;
    app::StartupState state_;
    StartOptions options_;
    std::unique_ptr<ScriptRun> scriptRun_;
    log::ViewColours colours_;
    diag::TapeAlertTable tapeAlerts_;  // the Tape Alerts menu's table
    uint8_t familyCode_ = 0;

    LogView* view_ = nullptr;
    StatusPanesBar* status_ = nullptr;
    QToolBar* standardBar_ = nullptr;
    QToolBar* labelledBar_ = nullptr;
    DevicePane* devicePane_ = nullptr;
    QTimer* timer_ = nullptr;
    QObject* menuOwner_ = nullptr;  // parent of the current menus, replaced on a mode switch
    bool engineeringShown_ = false;
    bool started_ = false;
    bool resetAccepted_ = false;
    BusyIndicator* busy_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
    QString trayTip_;
    std::atomic<bool> commandBusy_{false};  // between a command's Sent and Done lines
    bool dumpRunning_ = false;
    // The "Ready" button's check, a firmware update, a FUP tape: work with the drive that
    // runs off the window's thread, one at a time.
    BackgroundTask* deviceTask_ = nullptr;
    struct FrozenState {
        ScriptRun::TestedDevice device;
        bool devicesFound = false;
    };
    std::optional<FrozenState> frozen_;
    bool runWasGoing_ = false;
    QPointer<DumpViewerWindow> viewer_;
    std::map<QString, QAction*> actions_;
    std::vector<QAction*> needIdle_;  // disabled while a command or test runs
};

}  // namespace vexal::gui
