#pragma once
// One script run from the desktop: the engine, the runner's callbacks, and the debugging
// controls of step mode (single step, stop).
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/script_setup.h"
#include "app/session.h"
#include "document/multi_device_run.h"
#include "device/bus_scan.h"

namespace vexal::script {
class ChartOutput;
}

namespace vexal::gui {

class ScriptRun {
public:
    // `setup` gives the window's part of each run's setup (where a FUP rescans, how its
    // waits pass); the session's core sets the engine up from it.
    // `charts` shows the script's charts; may be null.
    ScriptRun(app::Session& session, script::ChartOutput* charts, std::function<app::ScriptRunSetup()> setup);
    ~ScriptRun();

    // Starts the run on the document's test runner; false when one is still running.
    bool start(const std::string& path, const std::string& testName, int iterations, bool suppressDialogs);
    // Runs the test on each of `devices` in turn, on a thread of its own; false when a run
    // is still going.
    bool startOnDevices(device::BusScanner& scanner, const std::vector<int>& devices, int instance,
                        const document::MultiDeviceTest& test);
    bool running() const { return running_.load(); }
    // Whether the run that is going (or went last) covered several devices.
    bool severalDevices() const { return severalDevices_.load(); }

    // The drive a run on several devices tests now, taken on the runner's thread as each
    // drive's test loads: the window shows it without touching the document's device,
    // which that thread changes.
    struct TestedDevice {
        int index = -1;
        device::DeviceAddress address;
        std::string product, serialNumber;
    };
    TestedDevice testedDevice() const;

    // Step mode applies from the next statement on.
    void setStepMode(bool on);
    bool stepMode() const { return stepMode_; }
    // Releases the statement on show (step mode).
    void singleStep();
    // Ends the run after the current statement.
    void stop();
    // Whether the run waits for a single step now.
    bool waitingForStep() const;

    script::ScriptEngine& engine() { return *engine_; }

private:
    void prepare(bool suppressDialogs);

    app::Session& session_;
    document::CFalderDoc& doc_;
    std::function<app::ScriptRunSetup()> setup_;
    std::unique_ptr<script::ScriptEngine> engine_;
    std::unique_ptr<app::EngineTestScript> script_;
    std::atomic<bool> running_{false};
    std::atomic<bool> severalDevices_{false};
    bool stepMode_ = false;
    std::thread severalThread_;
    mutable std::mutex testedMutex_;
    TestedDevice tested_;
};

}  // namespace vexal::gui
