#include "gui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>

#include <filesystem>
#include <sstream>

#include "app/test_preparation.h"
#include "device/device_library.h"
#include "device/drive_family.h"
#include "app/runner_tape_alerts.h"
#include "diag/tape_alert_check.h"
#include "diag/tape_alert_dialog.h"
#include "firmware/firmware_commands.h"
#include "firmware/fup_tape.h"
#include "fadump/dump_files.h"
#include "gui/background_task.h"
#include "gui/busy_indicator.h"
#include "gui/command_params.h"
#include "gui/device_list_dialog.h"
#include "gui/device_pane.h"
#include "gui/dump_viewer_window.h"
#include "gui/fa_dump_wizard_dialog.h"
#include "gui/icons.h"
#include "gui/log_view.h"
#include "gui/mam_dialog.h"
#include "gui/preferences_dialog.h"
#include "gui/qt_operator.h"
#include "gui/script_run.h"
#include "gui/select_test_dialog.h"
#include "gui/status_bar.h"
#include "gui/test_preparation_wizard.h"
#include "log/install_folder.h"
#include "log/send_log.h"
#include "platform/system_info.h"
#include "script/fingerprint_file.h"

namespace vexal::gui {
namespace {

namespace code = command::code;

QString q(std::string_view s) { return QString::fromUtf8(s.data(), int(s.size())); }

constexpr const char* kTestRunningMessage =
    "Action cannot be performed while a test is running!\n\nUse the 'Abort test' command before exiting program.";
constexpr const char* kReadyMessage =
    "Your KTX/SKTX is ready to run a test.  Click OK and then click the 'Run Test' button to select and run a test.  ";
constexpr const char* kNotReadyMessage =
    "Your KTX / SKTX is not ready to run a test.  Click View Error to determine the problem or OK to return to the "
    "application.";
constexpr const char* kKeyMissingMessage = "Unable to open registry key 'Mendra'!";
constexpr const char* kSwitchQuestion =
    "Switching I/O modes will cause the application to rescan the SCSI bus.  Are you sure you want to do this?";
constexpr const char* kProductUrl = "https://www.korvane.example/vexal";
constexpr const char* kSupportUrl = "https://www.korvane.example/";
constexpr const char* kFeedbackUrl = "mailto:vexal-feedback@korvane.example?subject=Korvane%20Vexal%20feedback";

// The single interactive commands: object name, menu text, command code.
struct CommandItem {
    const char* name;
    const char* text;
    int code;
};
const CommandItem kCommands[] = {
    {"actInquiry", "&Inquiry", code::Inquiry},
    {"actTestUnitReady", "&Test Unit Ready", code::TestUnitReady},
    {"actRequestSense", "Request &Sense", code::RequestSense},
    {"actModeSense", "Mode Se&nse...", code::ModeSense},
    {"actModeSelect", "Mode Se&lect...", code::SetBlockSize},
    {"actLogSense", "Log Sense...", code::LogSense},
    {"actLogSelect", "Log Select (Reset Log Counters)", code::LogSelect},
    {"actRewind", "Re&wind", code::Rewind},
    {"actLocate", "L&ocate...", code::Locate},
    {"actSpace", "S&pace...", code::Space},
    {"actReadPosition", "Read Position (&Logical)", code::ReadPosition},
    {"actLoad", "Loa&d", code::Load},
    {"actUnload", "&Unload", code::Unload},
    {"actRetension", "Retension", code::Retension},
    {"actWrite", "&Write...", code::Write},
    {"actWriteFilemarks", "Write &Filemarks...", code::WriteFilemarks},
    {"actRead", "&Read...", code::Read},
    {"actVerify", "&Verify...", code::Verify},
    {"actEraseLong", "Erase (Long)...", code::EraseLong},
    {"actEraseShort", "Erase (Short)", code::EraseShort},
    {"actReadBlockLimits", "Read &Block Limits", code::ReadBlockLimits},
    {"actReadBuffer", "Read Buffer...", code::ReadBuffer},
    {"actWriteBuffer", "Write Buffer...", code::WriteBuffer},
    {"actCreateCdb", "&Create CDB...", code::CreateCdb},
    {"actCompressionOn", "Compression &Enable", code::CompressionOn},
    {"actCompressionOff", "Compression &Disable", code::CompressionOff},
    {"actSendDiagnostic", "Send Diagnostic...", code::SendDiagnostic},
    {"actReceiveDiagnostic", "Receive Diagnostic Results", code::ReceiveDiagnostic},
    {"actReserve", "Reserve Unit", code::Reserve},
    {"actRelease", "Release Unit", code::Release},
    {"actPrevent", "Prevent Medium Removal", code::PreventAllow},
    {"actAllow", "Allow Medium Removal", code::PreventAllow},
    {"actInitElementStatus", "Initialize Element Status", code::InitElementStatus},
    {"actBusReset", "SCSI Bus &Reset", code::BusReset},
    {"actWriteReadTest", "&Write/Read Test...", code::WriteReadTest},
    {"actTest1", "Test &1", code::CannedTest1},
    {"actTest2", "Test &2", code::CannedTest2},
    {"actTest3", "Test &3", code::CannedTest3},
    {"actTest4", "Test &4", code::CannedTest4},
};

std::filesystem::path installPath() {
    const auto found = log::lookUpInstallPath();
    return found.status == log::InstallPathStatus::Ok ? found.path : std::filesystem::path();
}

}  // namespace

MainWindow::MainWindow(ui::Operator* op, QWidget* parent, script::ChartOutput* charts)
    : QMainWindow(parent),
      ownOperator_(op ? nullptr : std::make_unique<QtOperator>(this)),
      op_(op ? op : ownOperator_.get()),
      charts_(op ? charts : static_cast<QtOperator*>(ownOperator_.get())),
      app_(*op_, *this),
      scanner_(*op_) {
    setObjectName("mainWindow");
    setWindowTitle("Vexal");
    platform::SystemInformation system;
    platform::SystemInfo(system);
    log_ = std::make_unique<log::CLogSystem>(*op_, system);
    doc_ = std::make_unique<document::CFalderDoc>(*op_, *log_, [this] { return app_.engineeringMode; });
    scriptRun_ = std::make_unique<ScriptRun>(*doc_, *op_, app_, charts_);
    // The busy animation follows each command from its Sent line to its Done line.
    doc_->device().signals.busy = [this](bool busy) { commandBusy_ = busy; };
    colours_.load();
    setWindowIcon(applicationIcon());

    // In the order the window's parts are created.
    status_ = new StatusPanesBar(this);
    setStatusBar(status_);
    createActions();
    createToolBars();
    devicePane_ = new DevicePane(this);
    addDockWidget(Qt::LeftDockWidgetArea, devicePane_);
    connect(devicePane_, &DevicePane::deviceChosen, this, &MainWindow::selectDevice);
    connect(devicePane_, &DevicePane::devicesChosen, this,
            [this](const std::vector<int>& indices) { runOnSeveral(indices, true); });
    view_ = new LogView(doc_->lines(), colours_, this);
    setCentralWidget(view_);
    resizeDocks({devicePane_}, {220}, Qt::Horizontal);
    resize(1000, 640);
    showEngineeringMenus(false);

    // The notification-area icon, where the desktop has one.
    trayTip_ = "Vexal: Initializing";
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        tray_ = new QSystemTrayIcon(applicationIcon(), this);
        tray_->setToolTip(trayTip_);
        connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) restoreFromTray();
        });
        tray_->show();
    }

    deviceTask_ = new BackgroundTask(this);
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, &MainWindow::refresh);
    timer_->start(100);
    refresh();
}

MainWindow::~MainWindow() {
    timer_->stop();
    if (tray_) tray_->hide();
    // Work still reading the drive ends before the document goes.
    for (BackgroundTask* task : findChildren<BackgroundTask*>()) task->wait();
    scriptRun_.reset();  // ends a run that is still going before the document goes
    doc_.reset();
}

// ---- start-up ---------------------------------------------------------------------------

bool MainWindow::start(const StartOptions& options) {
    options_ = options;
    state_ = {};
    state_.config = options.config;
    state_.transportChosen = options.transportChosen;
    if (!app::InitInstance(app_, *this, *op_, scanner_, state_)) return false;
    showScanNotes();
    populateDevices();
    started_ = true;
    refresh();
    return true;
}

void MainWindow::setTitle(std::string_view title) { setWindowTitle(q(title)); }

void MainWindow::maximise() {
    resetAccepted_ = true;  // only a confirmed reset maximises
    showMaximized();
}

bool MainWindow::showCaution() {
    if (options_.skipCaution) return true;
    QMessageBox box(this);
    box.setWindowTitle("Vexal");
    box.setIcon(QMessageBox::Warning);
    box.setTextFormat(Qt::RichText);
    box.setText(QString("<p style='color:red; font-weight:bold; font-size:16pt'>%1</p><p style='font-size:10pt'>%2</p>")
                    .arg(app::kCautionHeading, QString(app::kCautionBody).toHtmlEscaped().replace("\n", "<br>")));
    auto* go = box.addButton("Continue", QMessageBox::AcceptRole);
    box.addButton("Exit", QMessageBox::RejectRole);
    box.exec();
    return box.clickedButton() == go;
}

void MainWindow::placeWindow(const app::UserSettings& s) {
    if (s.fullScreen) showMaximized();
    else {
        if (s.hasPlacement() && s.right > s.left && s.bottom > s.top)
            setGeometry(s.left, s.top, s.right - s.left, s.bottom - s.top);
        show();
    }
}

void MainWindow::devicesReady() {
    const int index = state_.active.index();
    if (index < 0) return;
    doc_->device().Select(index);
    familyCode_ = scanner_.DriveFamily(index);
    doc_->device().familyCode = familyCode_;
    doc_->tapeAlertCheck =
        app::RunnerTapeAlertHook(*doc_, tapeAlerts_, app_, [this](const diag::TapeAlertDialogModel& model) {
            std::string text;
            for (const auto& line : diag::tapeAlertReport(model)) text += line + "\n";
            op_->showText("Tape Alerts", text);
        });
    log_->Enable(doc_->device().serialNumber);
}

void MainWindow::populateDevices() {
    std::vector<uint8_t> families;
    for (const auto& d : scanner_.devices()) families.push_back(scanner_.DriveFamily(d.index));
    devicePane_->setDevices(scanner_.devices(), families, state_.active.index());
}

// ---- actions, menus, tool bars ------------------------------------------------------------

QAction* MainWindow::makeAction(const char* name, const QString& text, std::function<void()> handler,
                                const QKeySequence& key) {
    auto* a = new QAction(text, this);
    a->setObjectName(name);
    if (!key.isEmpty()) a->setShortcut(key);
    connect(a, &QAction::triggered, this, [handler = std::move(handler)] { handler(); });
    actions_[name] = a;
    return a;
}

QAction* MainWindow::commandAction(const char* name, const QString& text, int commandCode) {
    QAction* a = makeAction(name, text, [this, name, commandCode] {
        if (QString(name) == "actPrevent") doc_->request().prevent = true;
        if (QString(name) == "actAllow") doc_->request().prevent = false;
        sendCommand(commandCode);
    });
    needIdle_.push_back(a);
    return a;
}

QAction* MainWindow::action(const QString& name) const {
    const auto it = actions_.find(name);
    return it == actions_.end() ? nullptr : it->second;
}

void MainWindow::createActions() {
    makeAction("actSave", "&Save", [this] { saveView(false); }, QKeySequence::Save)
        ->setIcon(toolIcon(ToolImage::Save));
    makeAction("actSaveAs", "Save &As...", [this] { saveView(true); });
    makeAction("actSendView", "Send &View...", [this] {
        const auto folder = installPath() / "Logs";
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        const auto file = folder / "View.txt";
        std::string error;
        if (!doc_->lines().save(file, error)) op_->message(error, "Vexal", ui::Icon::Exclamation);
        else log::runMailProgram(log::kMailProgram, log::kMailSubject, file.string());
    });
    makeAction("actSendLog", "Send &Log...", [this] { log::SendLog(*op_, installPath() / "Logs"); });
    makeAction("actSendFaDump", "Send &FA Dump...", [this] { log::SendLog(*op_, installPath() / "FADump"); });
    makeAction("actExit", "E&xit", [this] { close(); });
    auto* statusBarAction = makeAction("actStatusBar", "&Status Bar", [this] { status_->setVisible(!status_->isVisible()); });
    statusBarAction->setCheckable(true);
    statusBarAction->setChecked(true);
    auto* toolbarAction = makeAction("actToolbar", "&Toolbar", [this] {
        standardBar_->setVisible(!standardBar_->isVisible());
    });
    toolbarAction->setCheckable(true);
    toolbarAction->setChecked(true);
    needIdle_.push_back(makeAction("actClearView", "&Clear View", [this] { clearView(); }));
    actions_["actClearView"]->setIcon(toolIcon(ToolImage::Clear));
    needIdle_.push_back(makeAction("actMam", "&Medium Auxiliary Memory", [this] { showMam(); }));
    needIdle_.push_back(makeAction("actEeprom", "&EEPROM", [this] { showEeprom(); }));
    needIdle_.push_back(makeAction("actTapeAlerts", "Tape &Alerts", [this] { tapeAlerts(); }));
    makeAction("actFaDumpFile", "FA &Dump File...", [this] { openDumpViewer(); });
    makeAction("actPreferences", "&Preferences...", [this] { preferences(); });
    makeAction("actAbortTest", "&Abort Test", [this] { abortTest(); }, QKeySequence("Ctrl+Break"))
        ->setIcon(toolIcon(ToolImage::Abort));
    needIdle_.push_back(makeAction("actRunTest", "&Run Test...", [this] { runTestDialog(); }));
    actions_["actRunTest"]->setIcon(toolIcon(ToolImage::Run));
    auto* step = makeAction("actStepMode", "&Step Mode", [this] {
        scriptRun_->setStepMode(actions_["actStepMode"]->isChecked());
    });
    step->setCheckable(true);
    makeAction("actSingleStep", "Single S&tep", [this] { scriptRun_->singleStep(); }, QKeySequence(Qt::Key_F10));
    makeAction("actStopScript", "Sto&p Script", [this] { scriptRun_->stop(); }, QKeySequence("Shift+F5"));
    makeAction("actWriteFingerprint", "Write Script &Fingerprint...", [this] { writeScriptFingerprint(); });

    for (const auto& c : kCommands) commandAction(c.name, c.text, c.code);
    actions_["actInquiry"]->setIcon(toolIcon(ToolImage::Inquiry));
    actions_["actTestUnitReady"]->setIcon(toolIcon(ToolImage::Ready));
    needIdle_.push_back(makeAction("actRescan", "Re&scan", [this] { rescan(); }));
    actions_["actRescan"]->setIcon(toolIcon(ToolImage::Scan));
    needIdle_.push_back(makeAction("actSelectDevice", "Select &Device...", [this] { openDeviceList(); }));
    needIdle_.push_back(makeAction("actReady", "Ready", [this] { readinessCheck(); }));
    actions_["actReady"]->setIcon(toolIcon(ToolImage::Ready));
    needIdle_.push_back(makeAction("actFirmware", "&Firmware Update...", [this] { firmwareUpdate(); }));
    actions_["actFirmware"]->setIcon(toolIcon(ToolImage::Firmware));
    needIdle_.push_back(makeAction("actFupTape", "Write &FUP Tape...", [this] { fupTape(); }));
    actions_["actFupTape"]->setIcon(toolIcon(ToolImage::FupTape));
    needIdle_.push_back(makeAction("actFaDump", "FA &Dump...", [this] { openFaDumpWizard(); }));
    actions_["actFaDump"]->setIcon(toolIcon(ToolImage::FaDump));
    needIdle_.push_back(makeAction("actWizard", "Test Preparation &Wizard...", [this] { openTestPreparationWizard(); }));
    actions_["actWizard"]->setIcon(toolIcon(ToolImage::Wizard));
    needIdle_.push_back(makeAction("actEnableLog", "&Enable Log", [this] { log_->Enable(doc_->device().serialNumber); }));
    needIdle_.push_back(makeAction("actDisableLog", "&Disable Log", [this] { log_->Disable(); }));

    // Mode commands: their keys work in both modes, so they belong to the window too.
    auto* customer = makeAction("actCustomerMode", "&Customer Mode", [this] { enterCustomerMode(); },
                                QKeySequence("Ctrl+Alt+C"));
    auto* engineering = makeAction("actEngineeringMode", "&Engineering Mode", [this] { enterEngineeringMode(); },
                                   QKeySequence("Ctrl+Alt+E"));
    auto* wizard = makeAction("actWizardAccess", "Wizard Access", [this] {
        if (app_.engineeringMode && !app_.wizardPrivileges) app_.WizardAccess();
    }, QKeySequence("Shift+Alt+W"));
    customer->setCheckable(true);
    engineering->setCheckable(true);
    addAction(customer);
    addAction(engineering);
    addAction(wizard);
    makeAction("actSetDefaults", "Set &Defaults...", [this] { resetDefaults(); });
    for (auto [name, text, kind] : {std::tuple{"actUseSg", "Use SCSI generic (SG_IO) mode", device::TransportKind::Sg},
                                    std::tuple{"actUseIscsi", "Use iSCSI mode", device::TransportKind::Iscsi},
                                    std::tuple{"actUseVirtual", "Use virtual drives", device::TransportKind::Virtual}}) {
        auto* a = makeAction(name, text, [this, kind = kind] { switchTransport(kind); });
        a->setCheckable(true);
    }

    makeAction("actHelpContents", "C&ontents", [this] { openHelp(false); }, QKeySequence("Shift+F1"));
    makeAction("actReadMe", "&Read Me", [this] { openHelp(true); });
    makeAction("actWeb", "&Vexal On The Web", [this] { openUrl(kProductUrl); });
    makeAction("actSupport", "&Contact Support", [this] { openUrl(kSupportUrl); });
    makeAction("actFeedback", "Send Feedbac&k", [this] { openUrl(kFeedbackUrl); });
    makeAction("actAbout", "&About Vexal...", [this] { about(); })->setIcon(toolIcon(ToolImage::About));
    makeAction("actUpdates", "Check For &Updates", [this] {
        op_->message("Program updates come with the distribution's packages.", "Vexal", ui::Icon::Information);
    });
}

void MainWindow::createToolBars() {
    standardBar_ = new QToolBar("Standard", this);
    standardBar_->setObjectName("standardToolBar");
    standardBar_->setIconSize(QSize(16, 16));
    standardBar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    const std::vector<std::vector<const char*>> groups = {
        {"actSave"},
        {"actRescan", "actInquiry", "actTestUnitReady"},
        {"actRequestSense", "actModeSelect", "actModeSense", "actLogSense", "actLogSelect"},
        {"actRewind", "actLocate", "actSpace", "actReadPosition"},
        {"actLoad", "actUnload"},
        {"actWrite", "actWriteFilemarks", "actRead"},
        {"actCreateCdb"},
        {"actClearView"},
        {"actAbortTest", "actRunTest"},
        {"actFirmware", "actFupTape"},
        {"actFaDump"},
        {"actAbout"}};
    // Short labels: the standard bar carries many buttons.
    const std::map<QString, QString> shortLabels = {
        {"actSave", "Save"}, {"actRescan", "Rescan"}, {"actInquiry", "Inq"}, {"actTestUnitReady", "TUR"},
        {"actRequestSense", "RS"}, {"actModeSelect", "MSel"}, {"actModeSense", "MSen"}, {"actLogSense", "LSen"},
        {"actLogSelect", "LSel"}, {"actRewind", "Rew"}, {"actLocate", "Loc"}, {"actSpace", "Spc"},
        {"actReadPosition", "RPos"}, {"actLoad", "Load"}, {"actUnload", "Unld"}, {"actWrite", "Wr"},
        {"actWriteFilemarks", "WFM"}, {"actRead", "Rd"}, {"actCreateCdb", "CDB"}, {"actClearView", "Clr"},
        {"actAbortTest", "Abort"}, {"actRunTest", "Run"}, {"actFirmware", "FW"}, {"actFupTape", "FUP"},
        {"actFaDump", "FA"}, {"actAbout", "?"}};
    for (size_t g = 0; g < groups.size(); ++g) {
        if (g) standardBar_->addSeparator();
        for (const char* name : groups[g]) {
            // A button of its own with a short label; the menu's text is its tooltip.
            QAction* target = actions_.at(name);
            auto* a = new QAction(shortLabels.at(name), standardBar_);
            a->setObjectName(QString("std") + name);
            a->setToolTip(target->text().remove('&'));
            connect(a, &QAction::triggered, target, &QAction::trigger);
            connect(target, &QAction::changed, a, [a, target] { a->setEnabled(target->isEnabled()); });
            standardBar_->addAction(a);
        }
    }

    labelledBar_ = new QToolBar("Labelled", this);
    labelledBar_->setObjectName("labelledToolBar");
    labelledBar_->setIconSize(QSize(32, 32));
    labelledBar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    const std::vector<std::vector<std::pair<const char*, const char*>>> labelled = {
        {{"actSave", "Save"}, {"actRescan", "Scan"}, {"actInquiry", "Inquiry"}, {"actReady", "Ready"}},
        {{"actClearView", "Clear"}, {"actAbortTest", "Abort"}, {"actRunTest", "Run Test"}},
        {{"actFirmware", "Firmware"}, {"actFupTape", "FUP Tape"}, {"actFaDump", "FA Dump"}},
        {{"actWizard", "Wizard"}, {"actAbout", "About"}}};
    for (size_t g = 0; g < labelled.size(); ++g) {
        if (g) labelledBar_->addSeparator();
        for (auto [name, label] : labelled[g]) {
            // A button of its own, so that its label differs from the menu text.
            QAction* target = actions_.at(name);
            auto* a = new QAction(target->icon(), label, labelledBar_);
            a->setObjectName(QString("bar") + name);
            connect(a, &QAction::triggered, target, &QAction::trigger);
            connect(target, &QAction::changed, a, [a, target] { a->setEnabled(target->isEnabled()); });
            labelledBar_->addAction(a);
        }
    }
    for (QAction* a : labelledBar_->actions())
        if (auto* b = labelledBar_->widgetForAction(a)) b->setMinimumWidth(55);
    // The busy animation at the bar's right end.
    auto* gap = new QWidget(labelledBar_);
    gap->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    labelledBar_->addWidget(gap);
    busy_ = new BusyIndicator(labelledBar_);
    labelledBar_->addWidget(busy_);
    addToolBar(Qt::TopToolBarArea, labelledBar_);
    addToolBarBreak();
    addToolBar(Qt::TopToolBarArea, standardBar_);
}

void MainWindow::buildMenus() {
    delete menuOwner_;  // the previous mode's menus
    menuOwner_ = new QObject(this);
    QMenuBar* bar = menuBar();
    bar->clear();
    const bool eng = engineeringShown_;
    auto menu = [&](const QString& title) {
        auto* m = new QMenu(title, bar);
        connect(menuOwner_, &QObject::destroyed, m, &QObject::deleteLater);
        bar->addMenu(m);
        return m;
    };
    auto add = [this](QMenu* m, std::initializer_list<const char*> names) {
        for (const char* n : names) {
            if (!*n) m->addSeparator();
            else m->addAction(actions_.at(n));
        }
    };
    QMenu* file = menu("&File");
    add(file, {"actSave", "actSaveAs", "", "actSendView", "actSendLog", "actSendFaDump", "", "actExit"});
    QMenu* view = menu("&View");
    if (eng) add(view, {"actToolbar"});
    add(view, {"actStatusBar", "", "actClearView", "", "actMam"});
    if (eng) add(view, {"actEeprom", "actFaDumpFile", "actTapeAlerts"});
    if (eng) {
        QMenu* commands = menu("&Commands");
        add(commands, {"actInquiry", "actTestUnitReady", "actRequestSense", "actReadBlockLimits", "", "actRewind",
                       "actLocate", "actSpace", "actReadPosition", "", "actLoad", "actUnload", "actRetension"});
        QMenu* cdb = commands->addMenu("C&DB");
        add(cdb, {"actCreateCdb"});
        QMenu* compression = commands->addMenu("Co&mpression");
        add(compression, {"actCompressionOn", "actCompressionOff"});
        QMenu* diagnostics = commands->addMenu("Dia&gnostics");
        add(diagnostics, {"actSendDiagnostic", "actReceiveDiagnostic", "actReadBuffer", "actWriteBuffer"});
        QMenu* reservations = commands->addMenu("Reser&vations");
        add(reservations, {"actReserve", "actRelease", "actPrevent", "actAllow"});
        QMenu* changer = commands->addMenu("Medium C&hanger");
        add(changer, {"actInitElementStatus"});
        QMenu* rw = commands->addMenu("Read/&Write");
        add(rw, {"actRead", "actWrite", "actWriteFilemarks", "actVerify", "", "actEraseLong", "actEraseShort"});
        commands->addMenu("SCSI-&3")->setEnabled(false);
        QMenu* bus = commands->addMenu("SCSI &Bus");
        add(bus, {"actRescan", "actSelectDevice", "actBusReset"});
        QMenu* sense = commands->addMenu("Sense and &Select");
        add(sense, {"actModeSense", "actModeSelect", "actLogSense", "actLogSelect"});
        QMenu* custom = menu("C&ustom");
        add(custom, {"actWriteReadTest", "", "actTest1", "actTest2", "actTest3", "actTest4", "", "actEnableLog",
                     "actDisableLog"});
    }
    QMenu* settings = menu("&Settings");
    add(settings, {"actPreferences"});
    QMenu* tests = menu("&Tests");
    add(tests, {"actAbortTest", "actRunTest"});
    if (eng) {
        QMenu* debug = tests->addMenu("&Debug");
        add(debug, {"actStepMode", "actSingleStep", "actStopScript"});
        add(tests, {"", "actWriteFingerprint"});
        QMenu* mode = menu("&Mode");
        add(mode, {"actCustomerMode", "actEngineeringMode", "", "actSetDefaults", "", "actUseSg", "actUseIscsi",
                   "actUseVirtual"});
    }
    QMenu* help = menu("&Help");
    add(help, {"actHelpContents", "actReadMe", "", "actWeb", "actSupport", "actFeedback", "", "actAbout", "actUpdates"});
    actions_.at("actUpdates")->setEnabled(eng);
}

void MainWindow::showEngineeringMenus(bool engineering) {
    engineeringShown_ = engineering;
    buildMenus();
    standardBar_->setVisible(engineering);
    actions_.at("actToolbar")->setChecked(engineering);
}

// ---- the timer ------------------------------------------------------------------------------

bool MainWindow::scriptRunning() const { return scriptRun_ && scriptRun_->running(); }

void MainWindow::refresh() {
    view_->refresh();
    const bool devices = frozen_ ? frozen_->devicesFound : scanner_.deviceCount() > 0;
    // A run on several devices changes the document's device on its own thread.
    const bool several = scriptRunning() && scriptRun_->severalDevices();
    ScriptRun::TestedDevice dev;
    if (frozen_) {
        dev = frozen_->device;
    } else if (several) {
        dev = scriptRun_->testedDevice();
    } else {
        const auto& d = doc_->device();
        dev = {d.handle, d.address, d.product, d.serialNumber};
    }
    log::StatusInputs in;
    in.devicesFound = devices;
    in.logEnabled = log_->logEnabled();
    in.engineeringMode = app_.engineeringMode;
    in.host = dev.address.hostAdapter;
    in.target = dev.address.target;
    in.lun = dev.address.lun;
    in.product = dev.product;
    in.serialNumber = dev.serialNumber;
    in.idle = doc_->idle.load() != 0;
    in.counter = doc_->counter.load();
    const int pending = doc_->request().code;
    in.multiBlockTransfer = !in.idle && (pending == code::Read || pending == code::Write);
    in.total = doc_->request().count;
    const log::StatusPanes panes = log::statusPanes(in);
    // Before the first scan there are no devices yet: that keeps nothing disabled.
    if (panes.clearIdleFlag && started_) doc_->idle = 0;
    status_->apply(panes);

    const bool idle = doc_->idle.load() != 0;
    for (QAction* a : needIdle_) a->setEnabled(idle && !backgroundBusy());
    actions_.at("actAbortTest")->setEnabled(doc_->testRunning.load() != 0 || scriptRunning());
    actions_.at("actSingleStep")->setEnabled(scriptRunning());
    actions_.at("actStopScript")->setEnabled(scriptRunning());
    actions_.at("actCustomerMode")->setChecked(app_.customerMode);
    actions_.at("actEngineeringMode")->setChecked(app_.engineeringMode);
    const bool modeSwitchAllowed = idle || !devices;
    actions_.at("actRescan")->setEnabled(modeSwitchAllowed && !scriptRunning());
    actions_.at("actCustomerMode")->setEnabled(modeSwitchAllowed);
    actions_.at("actEngineeringMode")->setEnabled(modeSwitchAllowed);
    actions_.at("actUseSg")->setChecked(state_.config.kind == device::TransportKind::Sg);
    actions_.at("actUseIscsi")->setChecked(state_.config.kind == device::TransportKind::Iscsi);
    actions_.at("actUseVirtual")->setChecked(state_.config.kind == device::TransportKind::Virtual);
    for (const char* n : {"actUseSg", "actUseIscsi", "actUseVirtual"}) actions_.at(n)->setEnabled(modeSwitchAllowed);
    devicePane_->setEnabled(!scriptRunning());

    // A multi-device run highlights the drive it tests; at its end the last one stays active.
    if (several && dev.index >= 0) devicePane_->markActive(dev.index);
    if (runWasGoing_ && !scriptRunning() && scriptRun_->severalDevices()) adoptDocumentDevice();
    runWasGoing_ = scriptRunning();

    const bool busy = commandBusy_.load() || doc_->workerBusy.load() || scriptRunning() || backgroundBusy() ||
                      doc_->testRunning.load() != 0 || (started_ && devices && !idle);
    busy_->setRunning(busy);
    if (started_) {
        trayTip_ = idle ? "Vexal: Idle" : "Vexal: Running";
        if (tray_ && tray_->toolTip() != trayTip_) tray_->setToolTip(trayTip_);
    }
}

// ---- commands -------------------------------------------------------------------------------

bool MainWindow::confirmDevice() {
    if (!doc_->idle.load() || doc_->workerBusy.load() || backgroundBusy()) {
        op_->message(device::kNotIdleSelectMessage, "Vexal", ui::Icon::Exclamation);
        return false;
    }
    if (state_.active.index() < 0 || !device::mayAddress(familyCode_, app_.wizardPrivileges)) {
        op_->message(device::kNotSupportedMessage, "Vexal", ui::Icon::Exclamation);
        return false;
    }
    return true;
}

void MainWindow::sendCommand(int commandCode) {
    if (!confirmDevice()) return;
    command::CommandRequest request = doc_->request();  // the last values seed the dialog
    if (!askCommandParameters(commandCode, request, this, *op_)) return;
    if (!doc_->idle.load() || doc_->workerBusy.load()) {  // a test started while the dialog was open
        op_->message(document::kNotIdleMessage, "Vexal", ui::Icon::Exclamation);
        return;
    }
    request.code = commandCode;
    doc_->request() = std::move(request);
    doc_->StartCommand();
    refresh();
}

bool MainWindow::selectDevice(int index) {
    device::SelectionContext context{doc_->idle.load() != 0 && !scriptRunning(), app_.wizardPrivileges,
                                     app_.instanceNumber};
    if (device::SelectActiveDevice(scanner_, index, context, state_.active, *op_) != device::SelectResult::Selected) {
        devicePane_->markActive(state_.active.index());
        return false;
    }
    doc_->device().Select(index);
    familyCode_ = scanner_.DriveFamily(index);
    doc_->device().familyCode = familyCode_;
    devicePane_->markActive(index);
    refresh();
    return true;
}

void MainWindow::adoptDocumentDevice() {
    const int index = doc_->device().handle;
    device::DeviceEntry entry;
    if (index < 0 || !scanner_.BindDevice(index, entry)) return;
    state_.active.entry = entry;
    state_.active.bound = true;
    familyCode_ = scanner_.DriveFamily(index);
    doc_->device().familyCode = familyCode_;
    devicePane_->markActive(index);
}

void MainWindow::restoreFromTray() {
    // Back to the last placement: a window minimised from maximised keeps that flag.
    if (windowState() & Qt::WindowMaximized) showMaximized();
    else showNormal();
    raise();
    activateWindow();
}

// ---- wizards, dump viewer, several devices ---------------------------------------------------

void MainWindow::runWizard() {
    if (options_.skipCaution) return;  // an unattended start shows no wizard either
    // After start-up has finished and the window shows.
    QTimer::singleShot(0, this, [this] { openTestPreparationWizard(); });
}

TestPreparationWizard* MainWindow::openTestPreparationWizard() {
    if (!doc_->idle.load() || scriptRunning()) {
        op_->message(document::kNotIdleMessage, "Vexal", ui::Icon::Exclamation);
        return nullptr;
    }
    TestPreparationContext context{*op_, scanner_.devices(), {}, state_.active.index(), installPath() / "Scripts",
                                   {}, {}, {}, {}};
    for (const auto& d : scanner_.devices()) context.families.push_back(scanner_.DriveFamily(d.index));
    context.selectDevice = [this](int index) { return selectDevice(index); };
    context.checkReadiness = [this] {
        return app::CheckUnitReadiness(*doc_, *op_, [this](std::chrono::milliseconds d) { op_->pace(d); });
    };
    context.runTest = [this](const std::filesystem::path& script, const std::string& name, int iterations,
                             bool suppress) { startScript(script.string(), name, iterations, suppress); };
    context.viewError = [this] { showLastCommandLines(); };
    auto* wizard = new TestPreparationWizard(std::move(context), this);
    wizard->setAttribute(Qt::WA_DeleteOnClose);
    wizard->open();
    return wizard;
}

FaDumpWizard* MainWindow::openFaDumpWizard() {
    if (!confirmDevice()) return nullptr;
    FaDumpWizardContext context{doc_->device(), *op_,
                                fadump::defaultDumpFile(installPath(), doc_->device().serialNumber), {}};
    context.busy = [this](bool busy) {
        // Nothing else may use the drive while its dump buffers are read.
        dumpRunning_ = busy;
        doc_->idle = busy ? 0 : 1;
        refresh();
    };
    auto* wizard = new FaDumpWizard(std::move(context), this);
    wizard->setAttribute(Qt::WA_DeleteOnClose);
    wizard->open();
    return wizard;
}

DumpViewerWindow* MainWindow::openDumpViewer(const std::filesystem::path& dmz) {
    if (!viewer_) {
        viewer_ = new DumpViewerWindow(*op_, installPath() / "FADump", this);
        viewer_->setAttribute(Qt::WA_DeleteOnClose);
    }
    viewer_->show();
    viewer_->raise();
    if (!dmz.empty()) viewer_->openFile(dmz);
    else if (!viewer_->chooseAndOpen() && viewer_->result().title.empty()) {
        viewer_->close();  // cancelled before any dump was shown
        return nullptr;
    }
    return viewer_;
}

DeviceListDialog* MainWindow::openDeviceList() {
    DeviceListContext context;
    context.devices = scanner_.devices();
    for (const auto& d : scanner_.devices()) context.families.push_back(scanner_.DriveFamily(d.index));
    context.activeIndex = state_.active.index();
    context.selectOne = [this](int index) { return selectDevice(index); };
    context.selectSeveral = [this](const std::vector<int>& indices) { return runOnSeveral(indices, false); };
    auto* dialog = new DeviceListDialog(std::move(context), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
    return dialog;
}

std::vector<int> MainWindow::confirmSeveral(const std::vector<int>& indices, bool fromPane) {
    if (!doc_->idle.load() || scriptRunning()) {
        op_->message(device::kNotIdleSelectMessage, "Vexal", ui::Icon::Exclamation);
        return {};
    }
    const device::SelectionContext context{true, app_.wizardPrivileges, app_.instanceNumber};
    return device::ConfirmMultiSelection(scanner_, indices, context, state_.active, *op_, fromPane);
}

bool MainWindow::startOnDevices(const std::vector<int>& devices, const std::string& path, const std::string& testName,
                                int iterations, bool suppressDialogs, bool fromPane) {
    if (devices.empty() || !doc_->idle.load() || scriptRunning()) return false;
    document::MultiDeviceTest test{testName, path, iterations, suppressDialogs, fromPane};
    scriptRun_->setStepMode(actions_.at("actStepMode")->isChecked());
    const bool started = scriptRun_->startOnDevices(scanner_, devices, app_.instanceNumber, test);
    refresh();
    return started;
}

bool MainWindow::runOnSeveral(const std::vector<int>& indices, bool fromPane) {
    const std::vector<int> kept = confirmSeveral(indices, fromPane);
    if (kept.empty()) return false;
    SelectTestDialog dialog(installPath() / "Scripts", *op_, this);
    dialog.setWindowTitle("Select Test - Several Devices");
    if (dialog.exec() != QDialog::Accepted || dialog.scriptPath().empty()) return false;
    return startOnDevices(kept, dialog.scriptPath().string(), dialog.testName(), dialog.iterations(),
                          dialog.suppressDialogs(), fromPane);
}

void MainWindow::saveView(bool askName) {
    static QString lastFile;
    QString file = lastFile;
    if (askName || file.isEmpty()) {
        file = QFileDialog::getSaveFileName(this, "Save As", lastFile, "Vexal Log Files (*.txt)");
        if (file.isEmpty()) return;
        if (!file.endsWith(".txt", Qt::CaseInsensitive)) file += ".txt";
    }
    std::string error;
    if (!doc_->lines().save(file.toStdString(), error)) {
        op_->message(error, "Vexal", ui::Icon::Exclamation);
        return;
    }
    lastFile = file;
}

void MainWindow::clearView() {
    if (!doc_->idle.load()) return;
    doc_->lines().clearView();
    view_->refresh();
}

void MainWindow::askClearView(bool entering) {
    if (doc_->lines().drawnCount() <= 1) return;
    const char* question = entering ? "Do you want to clear the view after\nentering Engineering Mode?"
                                    : "Do you want to clear the view after\nexiting Engineering Mode?";
    if (op_->message(question, "Vexal", ui::Icon::Question, ui::Buttons::YesNo, ui::Button::Yes) ==
        ui::Button::Yes)
        clearView();
}

void MainWindow::enterEngineeringMode() {
    if (!app_.customerMode) return;
    if (app_.EnterEngineeringMode()) askClearView(true);
    refresh();
}

void MainWindow::enterCustomerMode() {
    if (!app_.engineeringMode) return;
    app_.EnterCustomerMode();
    askClearView(false);
    refresh();
}

bool MainWindow::resetDefaults() {
    resetAccepted_ = false;
    app_.ResetSettingsToDefaults();
    if (resetAccepted_) {
        colours_.reset();
        view_->refresh(true);
    }
    return resetAccepted_;
}

void MainWindow::runTestDialog() {
    if (!confirmDevice()) return;
    const auto folder = installPath() / "Scripts";
    SelectTestDialog dialog(folder, *op_, this);
    if (dialog.exec() != QDialog::Accepted || dialog.scriptPath().empty()) return;
    startScript(dialog.scriptPath().string(), dialog.testName(), dialog.iterations(), dialog.suppressDialogs());
}

bool MainWindow::startScript(const std::string& path, const std::string& testName, int iterations,
                             bool suppressDialogs) {
    if (!doc_->idle.load() || scriptRunning()) {
        op_->message(document::kNotIdleMessage, "Vexal", ui::Icon::Exclamation);
        return false;
    }
    scriptRun_->setStepMode(actions_.at("actStepMode")->isChecked());
    const bool started = scriptRun_->start(path, testName, iterations, suppressDialogs);
    refresh();
    return started;
}

void MainWindow::writeScriptFingerprint() {
    if (!app_.engineeringMode) return;
    std::string path = (installPath() / "Scripts").string() + "/";
    constexpr std::string_view kFilter = "Test Scripts (*.scs *.SCS)|*.scs;*.SCS|All Files (*)|*||";
    if (!op_->chooseFile(ui::FileDialog::Open, "Write Script Fingerprint", kFilter, path) || path.empty()) return;
    const script::FingerprintOutcome outcome = script::WriteFingerprintFile(path);
    op_->message(outcome.message, "Vexal",
                 outcome.result == script::FingerprintWrite::Written ? ui::Icon::Information : ui::Icon::Exclamation);
}

void MainWindow::abortTest() {
    if (!scriptRunning() && !doc_->testRunning.load()) return;
    doc_->AbortTest();
    refresh();
}

void MainWindow::readinessCheck() {
    const int index = devicePane_->list()->currentItem()
                          ? devicePane_->list()->currentItem()->data(0, Qt::UserRole).toInt()
                          : state_.active.index();
    if (index != state_.active.index()) selectDevice(index);
    if (index != state_.active.index() || !confirmDevice()) return;
    // Five rounds a second apart: off the window's thread, which keeps drawing.
    auto ready = std::make_shared<bool>(false);
    deviceTask_->start(
        [this, ready] {
            *ready = app::CheckUnitReadiness(*doc_, *op_, [this](std::chrono::milliseconds d) { op_->pace(d); });
        },
        [this, ready] {
            refresh();
            if (*ready) {
                op_->message(kReadyMessage, "Vexal", ui::Icon::Information);
                return;
            }
            QMessageBox box(QMessageBox::Warning, "Vexal", kNotReadyMessage, QMessageBox::NoButton, this);
            box.addButton("&OK", QMessageBox::AcceptRole);
            auto* viewError = box.addButton("&View Error", QMessageBox::ActionRole);
            box.exec();
            if (box.clickedButton() == viewError) showLastCommandLines();
        });
    refresh();
}

bool MainWindow::backgroundBusy() const { return dumpRunning_ || deviceTask_->running(); }

void MainWindow::showLastCommandLines() {
    // The lines of the last command: its status and sense.
    const auto& lines = doc_->lines();
    const size_t n = lines.size();
    std::string text;
    for (const auto& line : lines.range(n > 40 ? n - 40 : 0, 40)) text += line + "\n";
    op_->showText("View Error", text);
}

// What the scan met on the way (devices that exist but could not be opened, and why, with
// the fix) goes into the log view, as the terminal prints it.
void MainWindow::showScanNotes() {
    for (const std::string& note : scanner_.notes()) doc_->output().addToView(note);
    // Devices there but refused to this user: the scan leaves the telling to the front end,
    // which says why instead of "no devices detected".
    if (scanner_.deviceCount() == 0 && scanner_.permissionDenied() > 0) {
        std::string text;
        for (const std::string& note : scanner_.notes()) text += (text.empty() ? "" : "\n\n") + note;
        op_->message(text, "Vexal", ui::Icon::Exclamation);
    }
}

void MainWindow::rescan() {
    if (!doc_->idle.load() && scanner_.deviceCount() > 0) return;
    const bool hadDevices = scanner_.deviceCount() > 0;
    device::RescanAndReselect(scanner_, state_.config, app_.instanceNumber, state_.active, *op_);
    showScanNotes();
    if (state_.active.bound) devicesReady();
    // With no devices the status refresh held the idle flag clear; devices found free it.
    if (!hadDevices && scanner_.deviceCount() > 0 && !doc_->testRunning.load()) doc_->idle = 1;
    populateDevices();
    refresh();
}

void MainWindow::switchTransport(device::TransportKind kind) {
    if (state_.config.kind == kind) return;
    if (op_->message(kSwitchQuestion, "Vexal", ui::Icon::Question, ui::Buttons::YesNo, ui::Button::No) !=
        ui::Button::Yes)
        return;
    state_.config.kind = kind;
    app_.settings.transport = device::transportKindName(kind);
    app::WriteSetting("Transport", app_.settings.transport);
    rescan();
}

void MainWindow::tapeAlerts() {
    if (!confirmDevice()) return;
    diag::RunTapeAlertsMenu(doc_->device(), *op_, familyCode_, app_.wizardPrivileges, tapeAlerts_, {},
                            [this](const diag::TapeAlertDialogModel& model) {
                                std::string text;
                                for (const auto& line : diag::tapeAlertReport(model)) text += line + "\n";
                                op_->showText("Tape Alerts", text);
                            });
    view_->refresh();
}

void MainWindow::showMam() {
    if (!confirmDevice()) return;
    MamDialog dialog(doc_->device(), app_.engineeringMode, this);
    dialog.exec();
}

void MainWindow::showEeprom() {
    if (!confirmDevice()) return;
    showEepromDialog(doc_->device(), *op_, installPath(), app_.engineeringMode, this);
}

void MainWindow::runDeviceWork(std::function<void(std::ostream&)> work) {
    // The work may rescan and re-bind the drive: until it ends the window shows the state
    // it had and leaves the scanner and the document's device alone.
    const auto& d = doc_->device();
    frozen_ = FrozenState{{d.handle, d.address, d.product, d.serialNumber}, scanner_.deviceCount() > 0};
    auto err = std::make_shared<std::ostringstream>();
    deviceTask_->start([work = std::move(work), err] { work(*err); },
                       [this, err] {
                           frozen_.reset();
                           if (state_.active.bound) {
                               familyCode_ = scanner_.DriveFamily(state_.active.index());
                               doc_->device().familyCode = familyCode_;
                           }
                           populateDevices();
                           refresh();
                           if (!err->str().empty()) op_->message(err->str(), "Vexal", ui::Icon::Exclamation);
                       });
    refresh();
}

void MainWindow::firmwareUpdate() {
    if (!confirmDevice()) return;
    std::string image;
    if (!op_->chooseFile(ui::FileDialog::Open, "Firmware Image", "Firmware Images (*.img *.image)", image)) return;
    runDeviceWork([this, image](std::ostream& err) {
        // The waits for the drive to reprogram itself go by as the operator paces them: on
        // this thread the desktop's operator sleeps.
        firmware::UpdateContext update{doc_->device(), *op_, app_.wizardPrivileges, {},
                                       [this](std::chrono::milliseconds d) { op_->pace(d); }, {}};
        update.rescan.scanner = &scanner_;
        update.rescan.config = state_.config;
        update.rescan.instance = app_.instanceNumber;
        update.rescan.active = &state_.active;
        update.refreshView = [this] { QMetaObject::invokeMethod(this, [this] { view_->refresh(); }, Qt::QueuedConnection); };
        firmware::FirmwareCommand(update, {image, 5}, err);
    });
}

void MainWindow::fupTape() {
    if (!confirmDevice()) return;
    std::string image;
    if (!op_->chooseFile(ui::FileDialog::Open, "Firmware Image", "Firmware Images (*.img *.image)", image)) return;
    runDeviceWork([this, image](std::ostream& err) {
        firmware::FupTapeContext tape{doc_->device(), *op_, app_.wizardPrivileges};
        firmware::FupTapeCommand(tape, image, err);
    });
}

void MainWindow::preferences() {
    const bool selected = state_.active.bound && doc_->idle.load();
    PreferencesContext context{app_, *op_, colours_, installPath(), selected ? &doc_->device() : nullptr,
                               familyCode_, [this] { view_->refresh(true); }, [this] { return resetDefaults(); }};
    PreferencesDialog dialog(std::move(context), this);
    dialog.exec();
    // "Allow Engineering Mode" may have switched the mode.
    if (app_.engineeringMode != engineeringShown_) {
        if (app_.engineeringMode) app_.EnterEngineeringMode();
        else app_.EnterCustomerMode();
    }
}

void MainWindow::about() {
    QMessageBox::about(this, "About Vexal",
                       "<b>Korvane Vexal</b><br>Test and diagnostics console for SCSI tape drives and medium "
                       "changers.<br><br>Version " + QString(VEXAL_VERSION) +
                           "<br>Built with Qt " QT_VERSION_STR ".");
}

void MainWindow::openHelp(bool releaseNotes) {
    const auto found = log::lookUpInstallPath();
    if (found.status == log::InstallPathStatus::KeyUnavailable) {
        op_->message(kKeyMissingMessage, releaseNotes ? "Vexal Error" : "Mendra Error", ui::Icon::Exclamation);
        return;
    }
    const char* missing = releaseNotes ? "Cannot find ReleaseNotes.htm file!" : "Cannot find help file!";
    std::filesystem::path file;
    if (found.status == log::InstallPathStatus::Ok)
        file = found.path / (releaseNotes ? "ReadMe/ReleaseNotes.htm"
                                          : app_.engineeringMode ? "hlp/Eng/Korvane_Vexal_e.html"
                                                                 : "hlp/Korvane_Vexal_c.html");
    std::error_code ec;
    if (file.empty() || !std::filesystem::exists(file, ec)) {
        op_->message(missing, "Vexal Error", ui::Icon::Exclamation);
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(file.string()))))
        op_->message("Can't open link:\n\nThere is no application associated\nwith the given filename extension.",
                     "Vexal Error", ui::Icon::Exclamation);
}

void MainWindow::openUrl(const char* url) {
    if (!QDesktopServices::openUrl(QUrl(url)))
        op_->message(std::string("Can't open link:\n\nUnknown Error (0) occurred."), "Vexal Error",
                     ui::Icon::Exclamation);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (scriptRunning() || doc_->testRunning.load() || backgroundBusy()) {
        op_->message(kTestRunningMessage, "Vexal", ui::Icon::Exclamation);
        event->ignore();
        return;
    }
    if (viewer_ && !viewer_->close()) {  // an unsaved report the operator keeps
        event->ignore();
        return;
    }
    if (tray_) tray_->hide();
    if (started_) {
        app::WindowPlacement placement;
        placement.maximised = isMaximized();
        const QRect r = normalGeometry();
        placement.left = r.left();
        placement.top = r.top();
        placement.right = r.left() + r.width();
        placement.bottom = r.top() + r.height();
        app_.SaveWindowSettings(placement);
    }
    event->accept();
}

}  // namespace vexal::gui
