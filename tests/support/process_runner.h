#pragma once
// Runs a program with arguments, capturing stdout and stderr; for tests of the CLI.
#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace vexal::testing {

struct ProcessResult {
    int exitCode = -1;  // -1 when the program could not be run or was killed
    int signal = 0;     // the signal that ended it, 0 when it exited
    std::string out;
    std::string err;
    // From the last signal sent until the program ended; -1 when no signal was sent.
    std::chrono::milliseconds afterSignal{-1};
};

// A step of a signalled run: once stdout or stderr shows `when` (empty: at once) and
// `after` has passed since the step before (or the start), `action` runs (when set) and
// `signal` (when not 0) goes to the program.
struct SignalStep {
    std::string when;
    int signal = 0;
    std::chrono::milliseconds after{0};
    std::function<void()> action;
};

// `timeoutSeconds` bounds the run: past it the program is killed and exitCode is -1.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         int timeoutSeconds = 120, const std::string& stdinText = "");

// Sends `signal` to the program once its stdout or stderr shows `when` (a line the program
// prints when it has reached the state under test), then collects it as runProcess does.
ProcessResult runProcessSignalled(const std::string& program, const std::vector<std::string>& args,
                                  const std::string& when, int signal, int timeoutSeconds = 120);

// Takes the steps in order, each after the step before it (a text already seen counts).
ProcessResult runProcessSignalSteps(const std::string& program, const std::vector<std::string>& args,
                                    const std::vector<SignalStep>& steps, int timeoutSeconds = 120);

}  // namespace vexal::testing
