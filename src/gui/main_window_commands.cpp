// The Commands menu (the single SCSI commands; the SCSI bus: Rescan, Select Device, Reset)
// and the Custom menu (canned tests, session log on and off).
#include "gui/main_window.h"

#include <QAction>

#include "command/command_request.h"
#include "device/device_selection.h"
#include "device/drive_family.h"
#include "gui/command_params.h"
#include "gui/device_list_dialog.h"
#include "gui/device_pane.h"
#include "gui/icons.h"
#include "gui/log_view.h"

namespace vexal::gui {

namespace {

namespace code = command::code;

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

}  // namespace

void MainWindow::createCommandActions() {
    for (const auto& c : kCommands) commandAction(c.name, c.text, c.code);
    actions_["actInquiry"]->setIcon(toolIcon(ToolImage::Inquiry));
    actions_["actTestUnitReady"]->setIcon(toolIcon(ToolImage::Ready));
    needIdle_.push_back(makeAction("actRescan", "Re&scan", [this] { rescan(); }));
    actions_["actRescan"]->setIcon(toolIcon(ToolImage::Scan));
    needIdle_.push_back(makeAction("actSelectDevice", "Select &Device...", [this] { openDeviceList(); }));
    needIdle_.push_back(makeAction("actEnableLog", "&Enable Log", [this] { log_->Enable(doc_->device().serialNumber); }));
    needIdle_.push_back(makeAction("actDisableLog", "&Disable Log", [this] { log_->Disable(); }));
}

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

void MainWindow::populateDevices() {
    std::vector<uint8_t> families;
    for (const auto& d : scanner_.devices()) families.push_back(scanner_.DriveFamily(d.index));
    devicePane_->setDevices(scanner_.devices(), families, state_.active.index());
}

bool MainWindow::selectDevice(int index) {
    device::SelectionContext context{doc_->idle.load() != 0 && !scriptRunning(), app_.wizardPrivileges,
                                     app_.instanceNumber};
    if (device::SelectActiveDevice(scanner_, index, context, state_.active, *op_) != device::SelectResult::Selected) {
        devicePane_->markActive(state_.active.index());
        return false;
    }
    session_.UseDevice(scanner_, state_.active.entry, scanner_.partial());
    familyCode_ = session_.familyCode();
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
    afterRescan(hadDevices);
}

void MainWindow::afterRescan(bool hadDevices) {
    showScanNotes();
    if (state_.active.bound) devicesReady();
    // With no devices the status refresh held the idle flag clear; devices found free it.
    if (!hadDevices && scanner_.deviceCount() > 0 && !doc_->testRunning.load()) doc_->idle = 1;
    populateDevices();
    refresh();
}

}  // namespace vexal::gui
