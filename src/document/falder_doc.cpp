#include "document/falder_doc.h"

#include "document/command_dispatch.h"

#include <exception>

#include <fmt/format.h>

namespace vexal::document {

using namespace command;

using platform::Event;
using namespace std::chrono_literals;

CFalderDoc::CFalderDoc(ui::Operator& op, log::CLogSystem& logSystem, std::function<bool()> engineeringMode)
    : op_(op), logSystem_(logSystem), output_(lines_, logSystem, std::move(engineeringMode)), device_(output_) {
    workerGo_ = events_.create("ScsiWorkerGo", Event::Reset::Manual);
    resetGo_ = events_.create("ScsiResetBusGo", Event::Reset::Manual);
    resetDone_ = std::make_shared<Event>(Event::Reset::Auto);
    events_.create("Done", Event::Reset::Auto);
    events_.create("ScriptCmdDone", Event::Reset::Auto);
    events_.create("WizardCmdDone", Event::Reset::Auto);
    device_.signals.events = &events_;
    resetThread_ = std::thread([this] { resetLoop(); });
}

CFalderDoc::~CFalderDoc() {
    if (runner_.joinable()) {
        abortRequested = 1;
        runner_.join();
    }
    workerQuit_ = true;
    workerGo_->set();
    if (worker_.joinable()) worker_.join();
    resetQuit_ = true;
    resetGo_->set();
    if (resetThread_.joinable()) resetThread_.join();
}

void CFalderDoc::workerLoop() {
    for (;;) {
        workerGo_->waitForever();
        workerGo_->reset();
        if (workerQuit_) return;
        if (request_.code != code::None) {
            Dispatch();
            CommandFinished();
        }
        workerBusy = false;
    }
}

void CFalderDoc::resetLoop() {
    for (;;) {
        resetGo_->waitForever();
        resetGo_->reset();
        if (resetQuit_) return;
        ScsiResult result = 0;
        try {
            result = device_.ResetBus();
        } catch (const std::exception&) {
            writeError();
            result = -1;
        }
        lastResult = result;
        CommandFinished();
        resetDone_->set();
    }
}

bool CFalderDoc::takeBusReset() {
    if (request_.code != code::BusReset) return false;
    request_.code = code::None;
    return true;
}

void CFalderDoc::StartCommand() {
    if (takeBusReset()) {
        // The reset is the bus-reset thread's, not the command worker's.
        idle = 0;
        RequestBusReset();
        return;
    }
    if (!worker_.joinable()) worker_ = std::thread([this] { workerLoop(); });
    idle = 0;
    workerBusy = true;
    workerGo_->set();
}

void CFalderDoc::CommandFinished() {
    if (suppressDialogs) return;  // a multi-device run restores idle at its end
    idle = 1;
}

void CFalderDoc::RequestBusReset() { resetGo_->set(); }

bool CFalderDoc::RunCommandSync(std::chrono::milliseconds timeout) {
    auto done = events_.find("Done");
    done->reset();
    testRunning = 1;
    workerGo_->reset();  // the worker must not run the same request
    idle = 0;
    bool signalled = false;
    if (takeBusReset()) {
        resetDone_->reset();
        RequestBusReset();
        signalled = resetDone_->wait(timeout);
    } else {
        Dispatch();
        signalled = done->wait(timeout);
    }
    std::this_thread::sleep_for(100ms);
    done->reset();
    testRunning = 0;
    idle = 1;
    return signalled;
}

void CFalderDoc::writeError() {
    output_.both(2, fmt::format("[Vexal_ERROR: {}  {}]", localDateText(), localTimeText()));
    events_.signal("ScriptCmdDone");
    // A synchronous caller waits for "Done": release it too rather than leave it hanging.
    events_.signal("Done");
    op_.message(kVexalErrorMessage, "Vexal", ui::Icon::Exclamation, ui::Buttons::Ok, ui::Button::Ok);
}

void CFalderDoc::WriteStartFrame(int iteration, int iterations, const std::string& testName) {
    output_.addToView("");
    output_.both(0, fmt::format("[Vexal_Starting_Script on {} at {} {}of{}]", localDateText(), localTimeText(),
                                iteration + 1, iterations));
    output_.both(0, fmt::format(" Test Name: {}", testName));
    CommandFinished();
}

void CFalderDoc::WriteEndFrame() {
    output_.addToView("");
    output_.both(0, fmt::format("[Vexal_Ending_Script on {} at {}]", localDateText(), localTimeText()));
    CommandFinished();
}

void CFalderDoc::RunTestNow(const std::string& testName, const std::string& file, int iterations,
                            TestScript& script) {
    bool endFrameWritten = false;
    for (int i = 0; i < iterations; ++i) {
        WriteStartFrame(i, iterations, testName);
        if (tapeAlertCheck) tapeAlertCheck();
        testRunning = 1;
        idle = 0;
        if (!script.Load(file)) {
            if (op_.message(kLoadErrorsQuestion, "Vexal", ui::Icon::Question, ui::Buttons::YesNo, ui::Button::No) ==
                ui::Button::Yes)
                op_.showText("Script Errors", script.ErrorText());
            break;
        }
        abortRequested = 0;
        if (!script.Execute() &&
            op_.message(kRunErrorsQuestion, "Vexal", ui::Icon::Question, ui::Buttons::YesNo, ui::Button::No) ==
                ui::Button::Yes)
            op_.showText("Script Errors", script.ErrorText());
        // After an abort the drive may be why (it stopped answering): reading its Tape
        // Alerts would only wait on it again.
        if (tapeAlertCheck && !abortRequested) tapeAlertCheck();
        if (abortRequested) break;
        if (!suppressDialogs) {
            WriteEndFrame();
            endFrameWritten = true;
        }
    }
    if (suppressDialogs) {
        WriteEndFrame();
        suppressDialogs = false;
    } else if (!endFrameWritten) {
        WriteEndFrame();
    }
    idle = 1;
    testRunning = 0;
    for (const char* name : {"Done", "MultiDeviceTrigger", "MyMultiDeviceTrigger"}) events_.signal(name);
}

void CFalderDoc::RunTest(const std::string& testName, const std::string& file, int iterations, TestScript& script,
                         std::function<void()> done) {
    WaitForTest();
    events_.create("Done", Event::Reset::Auto);
    events_.create("CommandTrigger", Event::Reset::Auto);
    events_.create("ScriptCmdDone", Event::Reset::Auto);
    runner_ = std::thread([this, testName, file, iterations, &script, done = std::move(done)] {
        RunTestNow(testName, file, iterations, script);
        if (done) done();
    });
}

void CFalderDoc::WaitForTest() {
    if (runner_.joinable()) runner_.join();
}

bool CFalderDoc::AbortTest() {
    if (op_.message(kAbortQuestion, "Vexal", ui::Icon::Question, ui::Buttons::OkCancel, ui::Button::Cancel) !=
        ui::Button::Ok)
        return false;
    AbortTestConfirmed();
    return true;
}

void CFalderDoc::AbortTestConfirmed() {
    abortRequested = 1;
    const std::string line = fmt::format("[Vexal_Aborting_Script on {} at {}]", localDateText(), localTimeText());
    output_.addToView("");
    output_.addToView(line);
    output_.writeLog(1, line);
}

ScsiResult CFalderDoc::Dispatch() {
    ScsiResult result = 0;
    try {
        const auto done = DispatchCommand(device_, request_, counter, abortRequested, op_);
        // A code without a command writes no frame: release a synchronous caller anyway.
        if (!done) {
            events_.signal("Done");
            events_.signal("ScriptCmdDone");
        }
        result = done.value_or(0);
    } catch (const std::exception&) {
        writeError();
        result = -1;
    }
    request_.code = code::None;
    lastResult = result;
    return result;
}

}  // namespace vexal::document
