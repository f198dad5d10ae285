// The Mode menu (customer and engineering mode, wizard access, Set Defaults, the I/O modes)
// and the Settings menu (Preferences).
#include "gui/main_window.h"

#include <QAction>

#include <tuple>

#include "app/io_mode.h"
#include "gui/log_view.h"
#include "gui/main_window_support.h"
#include "gui/preferences_dialog.h"

namespace vexal::gui {

void MainWindow::createModeActions() {
    makeAction("actPreferences", "&Preferences...", [this] { preferences(); });
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

// The core asks the question, keeps the choice and rescans; the window then shows what the
// scan found.
void MainWindow::switchTransport(device::TransportKind kind) {
    if (!doc_->idle.load() && scanner_.deviceCount() > 0) return;
    const bool hadDevices = scanner_.deviceCount() > 0;
    if (!app::SwitchTransport(kind, app_.settings, state_.config, scanner_, state_.active, app_.instanceNumber, *op_))
        return;
    afterRescan(hadDevices);
}

void MainWindow::preferences() {
    const bool selected = state_.active.bound && doc_->idle.load();
    PreferencesContext context{app_, *op_, colours_, detail::installPath(), selected ? &doc_->device() : nullptr,
                               familyCode_, [this] { view_->refresh(true); }, [this] { return resetDefaults(); }};
    PreferencesDialog dialog(std::move(context), this);
    dialog.exec();
    // "Allow Engineering Mode" may have switched the mode.
    if (app_.engineeringMode != engineeringShown_) {
        if (app_.engineeringMode) app_.EnterEngineeringMode();
        else app_.EnterCustomerMode();
    }
}

}  // namespace vexal::gui
