#include "gui/script_run.h"

#include "app/device_runs.h"
#include "script/script_engine.h"

namespace vexal::gui {

ScriptRun::ScriptRun(app::Session& session, script::ChartOutput* charts, std::function<app::ScriptRunSetup()> setup)
    : session_(session), doc_(session.doc()), setup_(std::move(setup)) {
    engine_ = std::make_unique<script::ScriptEngine>(&session_.op(), charts);
    engine_->setDocument(&doc_);
    script_ = std::make_unique<app::EngineTestScript>(*engine_, [this] {
        const command::CScsiDevice& d = doc_.device();
        const std::lock_guard lock(testedMutex_);
        tested_ = {d.handle, d.address, d.product, d.serialNumber};
    });
}

ScriptRun::~ScriptRun() {
    if (running_) {
        engine_->requestStop();
        doc_.AbortTestConfirmed();
    }
    doc_.WaitForTest();
    if (severalThread_.joinable()) severalThread_.join();
}

bool ScriptRun::startOnDevices(device::BusScanner& scanner, const std::vector<int>& devices, int instance,
                               const document::MultiDeviceTest& test) {
    if (running_) return false;
    doc_.WaitForTest();
    if (severalThread_.joinable()) severalThread_.join();
    prepare(test.suppressDialogs);
    running_ = true;
    severalDevices_ = true;
    doc_.idle = 0;
    doc_.testRunning = 1;
    severalThread_ = std::thread([this, &scanner, devices, instance, test] {
        app::RunScriptOnDevices(session_, scanner, devices, instance, test, *script_);
        running_ = false;
    });
    return true;
}

bool ScriptRun::start(const std::string& path, const std::string& testName, int iterations, bool suppressDialogs) {
    if (running_) return false;
    doc_.WaitForTest();  // the previous runner thread has ended: join it
    if (severalThread_.joinable()) severalThread_.join();
    severalDevices_ = false;
    prepare(suppressDialogs);
    running_ = true;
    doc_.RunTest(testName, path, iterations, *script_, [this] { running_ = false; });
    return true;
}

// The engine as the terminal's runs get it: the firmware updater with the operator's wizard
// privileges at the time of the FUP, the serial session, step mode, suppressed dialogs.
void ScriptRun::prepare(bool suppressDialogs) {
    app::ScriptRunSetup setup = setup_ ? setup_() : app::ScriptRunSetup{};
    setup.suppressDialogs = suppressDialogs;
    setup.step = stepMode_;
    app::PrepareScriptEngine(*engine_, session_, setup);
}

void ScriptRun::setStepMode(bool on) {
    stepMode_ = on;
    engine_->setStepMode(on);
    if (!on) engine_->trigger();  // a statement waiting for its step goes on
}

void ScriptRun::singleStep() { engine_->trigger(); }

void ScriptRun::stop() {
    engine_->requestStop();
    engine_->trigger();
}

ScriptRun::TestedDevice ScriptRun::testedDevice() const {
    const std::lock_guard lock(testedMutex_);
    return tested_;
}

bool ScriptRun::waitingForStep() const { return running_ && stepMode_; }

}  // namespace vexal::gui
