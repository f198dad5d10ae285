#pragma once
// The start-up and exit sequences of the desktop console. The window itself (splash,
// placement, CAUTION dialog, wizard pages) is the front end's, reached through hooks.
#include <memory>

#include "app/falder_app.h"
#include "device/bus_scan.h"
#include "device/device_selection.h"

namespace vexal::app {

inline constexpr const char* kCautionHeading = "CAUTION";
inline constexpr const char* kCautionBody =
    "Running this application while other software is accessing the storage devices can cause unpredictable "
    "results and adversely affect the operation of the storage software.\n\nPlease stop and close any storage "
    "applications before continuing or exit this application.";

class StartupHooks : public ShellHooks {
public:
    // The start screen: false for "Exit"; `dontShowAgain` reports the check box.
    virtual bool showSplash(bool& dontShowAgain) {
        dontShowAgain = false;
        return true;
    }
    // The CAUTION dialog: false for "Exit".
    virtual bool showCaution() { return true; }
    virtual void placeWindow(const UserSettings& settings) { (void)settings; }
    // Step 19 with devices found: the document, the status panes and the session log.
    virtual void devicesReady() {}
    // The Test Preparation Wizard (customer mode with the Wizard setting).
    virtual void runWizard() {}
};

struct StartupState {
    device::ScanConfig config;
    bool transportChosen = false;  // the command line chose config.kind: the setting is not read
    device::ActiveDevice active;
    int deviceCount = 0;
};

// Runs the start-up sequence; false ends the program. `scanner` is filled by the scan.
bool InitInstance(CFalderApp& app, StartupHooks& hooks, ui::Operator& op, device::BusScanner& scanner,
                  StartupState& state);
void ExitInstance(CFalderApp& app);

}  // namespace vexal::app
