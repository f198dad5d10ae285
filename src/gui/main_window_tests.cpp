// The Tests menu: Run Test, Abort Test and the Debug controls (Step Mode, Single Step,
// Stop Script), Write Script Fingerprint, and the runs on several devices.
#include "gui/main_window.h"

#include <QAction>

#include "device/device_selection.h"
#include "gui/icons.h"
#include "gui/main_window_support.h"
#include "gui/script_run.h"
#include "gui/select_test_dialog.h"
#include "script/fingerprint_file.h"

namespace vexal::gui {

using detail::installPath;

void MainWindow::createTestActions() {
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

}  // namespace vexal::gui
