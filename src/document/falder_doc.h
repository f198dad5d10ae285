#pragma once
// The document: the one pending command, the idle/running state, the named events, the
// worker and bus-reset threads, the test runner and the view's line list.
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "operator/operator.h"
#include "command/command_request.h"
#include "command/scsi_device.h"
#include "log/document_output.h"
#include "log/line_list.h"
#include "log/log_system.h"
#include "platform/named_events.h"

namespace vexal::document {

// What the test runner runs each iteration; the script engine implements it.
class TestScript {
public:
    virtual ~TestScript() = default;
    // Phases 1 to 3; false when the script has load errors.
    virtual bool Load(const std::string& file) = 0;
    // False when the run ended with run-time errors.
    virtual bool Execute() = 0;
    // The text the Script Errors window shows.
    virtual std::string ErrorText() = 0;
};

inline constexpr const char* kNotIdleMessage = "Unable to perform this operation while application is not idle.";
inline constexpr const char* kVexalErrorMessage =
    "Vexal error.  If this continues please contact the Korvane support team, thank you.";
inline constexpr const char* kAbortQuestion = "Are you sure you want to abort this test?";
inline constexpr const char* kLoadErrorsQuestion = "There are test load errors, do you want to view them?";
inline constexpr const char* kRunErrorsQuestion = "There are test run-time errors, do you want to view them?";
inline constexpr const char* kRunnerErrorMessage =
    "An error occurred in this application.  This may or may not have had an effect on your test results.  If "
    "this continues please contact your Corvine support team, thank you.";

class CFalderDoc {
public:
    CFalderDoc(ui::Operator& op, log::CLogSystem& logSystem, std::function<bool()> engineeringMode);
    ~CFalderDoc();
    CFalderDoc(const CFalderDoc&) = delete;
    CFalderDoc& operator=(const CFalderDoc&) = delete;

    log::LineList& lines() { return lines_; }
    command::CommandOutput& output() { return output_; }
    command::CScsiDevice& device() { return device_; }
    command::CommandRequest& request() { return request_; }
    platform::NamedEvents& events() { return events_; }

    // Hands the pending request to the worker thread.
    void StartCommand();
    // Runs the pending request on the calling thread and waits for it to be done; false
    // when "Done" did not come within `timeout`.
    bool RunCommandSync(std::chrono::milliseconds timeout = std::chrono::hours(48));
    void CommandFinished();
    // Runs the pending request's command and clears its code.
    command::ScsiResult Dispatch();
    // Wakes the bus-reset thread (reset of the selected device).
    void RequestBusReset();

    // Runs `script` `iterations` times on the test runner thread; `done` is called at the end.
    void RunTest(const std::string& testName, const std::string& file, int iterations, TestScript& script,
                 std::function<void()> done = {});
    // The body of the test runner, on the calling thread.
    void RunTestNow(const std::string& testName, const std::string& file, int iterations, TestScript& script);
    // Asks the operator, then flags the running test to stop.
    bool AbortTest();
    // Flags the running test to stop without asking (the terminal's Ctrl+C).
    void AbortTestConfirmed();
    void WaitForTest();

    // Writes the frame lines of the test runner.
    void WriteStartFrame(int iteration, int iterations, const std::string& testName);
    void WriteEndFrame();

    std::atomic<int> idle{1};
    // True from StartCommand until the worker has finished with the pending request: the
    // request may be refilled only after that.
    std::atomic<bool> workerBusy{false};
    std::atomic<int> testRunning{0};
    std::atomic<int> abortRequested{0};
    std::atomic<long> counter{0};
    std::atomic<bool> suppressDialogs{false};
    // Reads the Tape Alerts before and after each iteration when set.
    std::function<void()> tapeAlertCheck;
    command::ScsiResult lastResult = 0;

private:
    void workerLoop();
    void resetLoop();
    void writeError();

    ui::Operator& op_;
    log::CLogSystem& logSystem_;
    log::LineList lines_;
    log::DocumentOutput output_;
    command::CScsiDevice device_;
    command::CommandRequest request_;
    platform::NamedEvents events_;
    std::shared_ptr<platform::Event> workerGo_;
    std::shared_ptr<platform::Event> resetGo_;
    std::atomic<bool> workerQuit_{false};
    std::atomic<bool> resetQuit_{false};
    std::thread worker_;
    std::thread resetThread_;
    std::thread runner_;
};

}  // namespace vexal::document
