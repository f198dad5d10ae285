#include "app/startup.h"

#include "device/device_library.h"
#include "device/iscsi/iscsi_transport.h"

namespace vexal::app {

bool InitInstance(CFalderApp& app, StartupHooks& hooks, ui::Operator& op, device::BusScanner& scanner,
                  StartupState& state) {
    app.customerMode = true;
    app.engineeringMode = app.wizardPrivileges = false;
    app.LoadSettings();
    if (app.settings.showSplashScreen) {
        bool dontShowAgain = false;
        if (!hooks.showSplash(dontShowAgain)) return false;
        app.settings.showSplashScreen = dontShowAgain ? 0 : 1;
    }
    device::DevStartup(1);
    // Apply the mode: a remembered engineering digest enters without asking.
    if (app.settings.showEngineeringMode) app.EnterEngineeringMode();
    else app.EnterCustomerMode();
    hooks.placeWindow(app.settings);
    if (!hooks.showCaution()) return false;

    if (!state.transportChosen) device::parseTransportKind(app.settings.transport, state.config.kind);
    if (state.config.portals.empty()) state.config.portals = device::splitPortalList(app.settings.iscsiPortals);
    state.deviceCount = scanner.ScanBuses(state.config);
    app.StartInstance();
    device::DevStartup(0);

    if (state.deviceCount > 0) {
        device::RestoreSelection(scanner, app.instanceNumber, state.active, op);
        hooks.devicesReady();
        if (app.customerMode && app.settings.wizard) hooks.runWizard();
    }
    return true;
}

void ExitInstance(CFalderApp& app) {
    app.ExitInstance();
    device::DevFreeList();
    device::DevSetTransport(nullptr);
}

}  // namespace vexal::app
