#pragma once
// Setting up a script run the same way in both front ends: the engine's document, serial
// session, firmware updater and fingerprint demand, and the test the runner drives.
#include <atomic>
#include <functional>
#include <string>

#include "app/session.h"
#include "device/bus_scan.h"
#include "device/device_selection.h"
#include "document/falder_doc.h"
#include "firmware/firmware_update.h"
#include "script/script_engine.h"

namespace vexal::app {

struct ScriptRunSetup {
    // Where a FUP statement's rescan looks for the drive again; none: no rescan.
    device::BusScanner* scanner = nullptr;
    device::ScanConfig config;
    int instance = 1;
    device::ActiveDevice* active = nullptr;
    bool suppressDialogs = false;
    bool step = false;
    // How the firmware update's waits pass (the desktop paces them on its operator).
    firmware::SleepFunction sleep = firmware::realSleep;
    std::function<void()> refreshView;
};

// Call before each run. The FUP statement's updater reads the operator's wizard privileges
// when the statement runs, not when the run was set up; the fingerprint demand follows the
// session's mode (app/fingerprint_demand.h).
void PrepareScriptEngine(script::ScriptEngine& engine, Session& session, const ScriptRunSetup& setup);

// The runner's test: loads and executes through the engine, closes what each run left
// open (so each run's charts are kept), and remembers whether any run did not pass: a
// load or run-time error, a FAIL statement, or EXIT with a value other than 0.
class EngineTestScript : public document::TestScript {
public:
    // `loading` runs on the runner's thread before each load (the desktop notes the drive).
    explicit EngineTestScript(script::ScriptEngine& engine, std::function<void()> loading = {})
        : engine_(engine), loading_(std::move(loading)) {}
    bool Load(const std::string& file) override;
    bool Execute() override;
    std::string ErrorText() override { return engine_.ErrorText(); }

    std::atomic<bool> failed{false};

private:
    script::ScriptEngine& engine_;
    std::function<void()> loading_;
};

}  // namespace vexal::app
