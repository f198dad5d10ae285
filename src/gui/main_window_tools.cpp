// The labelled tool bar's own commands: the readiness check (Ready), Firmware, FUP Tape,
// FA Dump and the Test Preparation Wizard.
#include "gui/main_window.h"

#include <QAction>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>

#include <sstream>

#include "app/test_preparation.h"
#include "fadump/dump_files.h"
#include "firmware/firmware_commands.h"
#include "firmware/fup_tape.h"
#include "gui/background_task.h"
#include "gui/device_pane.h"
#include "gui/fa_dump_wizard_dialog.h"
#include "gui/icons.h"
#include "gui/log_view.h"
#include "gui/main_window_support.h"
#include "gui/test_preparation_wizard.h"

namespace vexal::gui {

using detail::installPath;

namespace {

constexpr const char* kReadyMessage =
    "Your KTX/SKTX is ready to run a test.  Click OK and then click the 'Run Test' button to select and run a test.  ";
constexpr const char* kNotReadyMessage =
    "Your KTX / SKTX is not ready to run a test.  Click View Error to determine the problem or OK to return to the "
    "application.";

}  // namespace

void MainWindow::createToolActions() {
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
            doc_->abortRequested = 0;  // an earlier run's abort does not cut the check short
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
        doc_->abortRequested = 0;  // an earlier run's abort does not cut the check short
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

}  // namespace vexal::gui
