#include "gui/script_run.h"

#include "app/fingerprint_demand.h"
#include "script/script_engine.h"
#include "serial/port_setting.h"
#include "serial/serial_session.h"

namespace vexal::gui {

// Closes the files and charts a run left open after each execution, so that each run's
// charts are kept.
class ScriptRun::Tracked : public document::TestScript {
public:
    Tracked(script::ScriptEngine& engine, std::function<void()> loading)
        : engine_(engine), loading_(std::move(loading)) {}
    bool Load(const std::string& file) override {
        loading_();
        return engine_.Load(file);
    }
    bool Execute() override {
        const bool ok = engine_.Execute();
        engine_.closeScriptFiles();
        return ok;
    }
    std::string ErrorText() override { return engine_.ErrorText(); }

private:
    script::ScriptEngine& engine_;
    std::function<void()> loading_;  // on the runner's thread, before each load
};

ScriptRun::ScriptRun(document::CFalderDoc& doc, ui::Operator& op, const app::CFalderApp& app,
                     script::ChartOutput* charts)
    : doc_(doc), op_(op), app_(app) {
    engine_ = std::make_unique<script::ScriptEngine>(&op_, charts);
    engine_->setDocument(&doc_);
    script_ = std::make_unique<Tracked>(*engine_, [this] {
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
    engine_->setSerialSession(std::make_shared<serial::SerialSession>(serial::serialPortSetting()));
    app::SetUpFingerprintDemand(*engine_, app_);
    engine_->setStepMode(stepMode_);
    engine_->setSuppressDialogs(test.suppressDialogs);
    running_ = true;
    severalDevices_ = true;
    doc_.idle = 0;
    doc_.testRunning = 1;
    severalThread_ = std::thread([this, &scanner, devices, instance, test] {
        document::RunOnDevices(doc_, scanner, devices, instance, test, *script_, op_);
        running_ = false;
    });
    return true;
}

bool ScriptRun::start(const std::string& path, const std::string& testName, int iterations, bool suppressDialogs) {
    if (running_) return false;
    doc_.WaitForTest();  // the previous runner thread has ended: join it
    if (severalThread_.joinable()) severalThread_.join();
    severalDevices_ = false;
    engine_->setSerialSession(std::make_shared<serial::SerialSession>(serial::serialPortSetting()));
    app::SetUpFingerprintDemand(*engine_, app_);
    engine_->setStepMode(stepMode_);
    engine_->setSuppressDialogs(suppressDialogs);
    doc_.suppressDialogs = suppressDialogs;
    running_ = true;
    doc_.RunTest(testName, path, iterations, *script_, [this] { running_ = false; });
    return true;
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
