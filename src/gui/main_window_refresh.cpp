// The timer's pass: new lines, the status panes, the tray tip, which commands may run.
#include "gui/main_window.h"

#include <QAction>
#include <QSystemTrayIcon>

#include "command/command_request.h"
#include "gui/busy_indicator.h"
#include "gui/device_pane.h"
#include "gui/log_view.h"
#include "gui/main_window_support.h"
#include "gui/status_bar.h"
#include "log/status_panes.h"

namespace vexal::gui {

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
    in.multiBlockTransfer = !in.idle && (pending == command::code::Read || pending == command::code::Write);
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
        trayTip_ = detail::q(log::trayTooltip(idle));
        if (tray_ && tray_->toolTip() != trayTip_) tray_->setToolTip(trayTip_);
    }
}

}  // namespace vexal::gui
