#include "gui/main_window.h"

#include <QCloseEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTimer>

#include "diag/tape_alert_dialog.h"
#include "gui/background_task.h"
#include "gui/device_pane.h"
#include "gui/dump_viewer_window.h"
#include "gui/icons.h"
#include "gui/log_view.h"
#include "gui/main_window_support.h"
#include "gui/qt_operator.h"
#include "gui/script_run.h"
#include "gui/status_bar.h"
#include "log/status_panes.h"

namespace vexal::gui {

using detail::q;

namespace {

constexpr const char* kTestRunningMessage =
    "Action cannot be performed while a test is running!\n\nUse the 'Abort test' command before exiting program.";

}  // namespace

MainWindow::MainWindow(ui::Operator* op, QWidget* parent, script::ChartOutput* charts)
    : QMainWindow(parent),
      ownOperator_(op ? nullptr : std::make_unique<QtOperator>(this)),
      op_(op ? op : ownOperator_.get()),
      charts_(op ? charts : static_cast<QtOperator*>(ownOperator_.get())),
      session_(*op_, static_cast<app::SessionHooks&>(*this)),
      app_(session_.app()),
      scanner_(*op_) {
    setObjectName("mainWindow");
    setWindowTitle("Vexal");
    session_.OpenDocument();
    log_ = &session_.log();
    doc_ = &session_.doc();
    scriptRun_ = std::make_unique<ScriptRun>(session_, charts_, [this] {
        app::ScriptRunSetup setup;
        // No rescan after a script's FUP: the window reads the scanner while a run goes.
        setup.config = state_.config;
        setup.instance = app_.instanceNumber;
        // On the runner's thread the desktop's operator sleeps through the waits.
        setup.sleep = [this](std::chrono::milliseconds d) { op_->pace(d); };
        setup.refreshView = [this] {
            QMetaObject::invokeMethod(this, [this] { view_->refresh(); }, Qt::QueuedConnection);
        };
        return setup;
    });
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
    trayTip_ = q(log::kTrayTooltipStarting);
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
    session_.End();
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
    if (state_.active.index() < 0) return;
    session_.UseDevice(scanner_, state_.active.entry, scanner_.partial());
    familyCode_ = session_.familyCode();
    session_.EnableLog();
}

void MainWindow::showTapeAlerts(const diag::TapeAlertDialogModel& model) {
    std::string text;
    for (const auto& line : diag::tapeAlertReport(model)) text += line + "\n";
    op_->showText("Tape Alerts", text);
}

void MainWindow::runWizard() {
    if (options_.skipCaution) return;  // an unattended start shows no wizard either
    // After start-up has finished and the window shows.
    QTimer::singleShot(0, this, [this] { openTestPreparationWizard(); });
}

void MainWindow::restoreFromTray() {
    // Back to the last placement: a window minimised from maximised keeps that flag.
    if (windowState() & Qt::WindowMaximized) showMaximized();
    else showNormal();
    raise();
    activateWindow();
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
