// The View menu: Toolbar, Status Bar, Clear View, Medium Auxiliary Memory, EEPROM, FA Dump
// File, Tape Alerts.
#include "gui/main_window.h"

#include <QAction>
#include <QToolBar>

#include "diag/tape_alert_check.h"
#include "diag/tape_alert_dialog.h"
#include "gui/dump_viewer_window.h"
#include "gui/icons.h"
#include "gui/log_view.h"
#include "gui/main_window_support.h"
#include "gui/mam_dialog.h"
#include "gui/status_bar.h"

namespace vexal::gui {

void MainWindow::createViewActions() {
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

void MainWindow::showMam() {
    if (!confirmDevice()) return;
    MamDialog dialog(doc_->device(), app_.engineeringMode, this);
    dialog.exec();
}

void MainWindow::tapeAlerts() {
    if (!confirmDevice()) return;
    diag::RunTapeAlertsMenu(doc_->device(), *op_, familyCode_, app_.wizardPrivileges, tapeAlerts_, {},
                            [this](const diag::TapeAlertDialogModel& model) { showTapeAlerts(model); });
    view_->refresh();
}

void MainWindow::showEeprom() {
    if (!confirmDevice()) return;
    showEepromDialog(doc_->device(), *op_, detail::installPath(), app_.engineeringMode, this);
}

DumpViewerWindow* MainWindow::openDumpViewer(const std::filesystem::path& dmz) {
    if (!viewer_) {
        viewer_ = new DumpViewerWindow(*op_, detail::installPath() / "FADump", this);
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

}  // namespace vexal::gui
