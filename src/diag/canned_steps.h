#pragma once
// The steps the canned tests are built from: the ready check, compression, block size,
// log counter reset, the WRITE and READ steps, and the step check with its backup log and
// debug trace. Every command goes through the menu commands of the device, so each step
// writes its own frame.
#include <atomic>
#include <filesystem>
#include <string>
#include <string_view>

#include "operator/operator.h"
#include "command/command_request.h"
#include "command/scsi_device.h"

namespace vexal::diag {

// What a canned test runs on.
struct CannedTestRun {
    command::CScsiDevice& device;
    const command::CommandRequest& request;  // the test's parameters
    std::atomic<long>& counter;              // the document counter
    std::atomic<int>& abort;                 // abort requested
    ui::Operator& op;
    std::filesystem::path folder;            // backup log and debug traces
};

// How a step ended.
struct StepOutcome {
    command::ScsiResult result = 0;
    bool failed = false;  // did not do what was asked (see CannedSteps::transfer)
    bool hard = false;    // failed for a reason other than meeting a filemark, end of data or end of medium
};

class CannedSteps {
public:
    explicit CannedSteps(CannedTestRun& run);
    ~CannedSteps();
    CannedSteps(const CannedSteps&) = delete;
    CannedSteps& operator=(const CannedSteps&) = delete;

    command::CScsiDevice& device() { return run_.device; }
    const command::CommandRequest& request() const { return run_.request; }
    bool aborted() const { return run_.abort.load() != 0; }
    void clearAbort() { run_.abort = 0; }

    // A test's own bracketed line (view and log file); an empty line goes to the view only.
    void line(std::string_view text);

    // TEST UNIT READY twice with its frames, then once without; true when the last is GOOD.
    bool readyCheck();
    void compression();
    // Set Block Size, for fixed-block tests.
    void blockSize();
    // LOG SELECT (reset log counters). A drive that refuses it (ILLEGAL REQUEST) is not
    // asked again, and one line says that the counters are not reset.
    void resetLogCounters();

    // The WRITE or READ step with the test's parameters (a count of 0 runs to the end of
    // medium); `transfer` with parameters of the step's own.
    StepOutcome write();
    StepOutcome read();
    StepOutcome transfer(bool write, const command::CommandRequest& stepRequest);
    // LOCATE to a logical block. A drive that does not know LOCATE (INVALID COMMAND
    // OPERATION CODE) is not asked again: one line says so, and REWIND and SPACE reach the
    // block instead.
    command::ScsiResult locate(uint32_t block);
    // A single command as a step: its outcome sets the error flag like a transfer does.
    StepOutcome command(command::ScsiResult result);

    // The device error flag: set by a step that failed hard, cleared by the tests that say so.
    bool errorFlag = false;
    // The step check: the backup log, then, when the error flag is set, TEST UNIT READY
    // twice and the debug trace of `pass`. False when the test must stop.
    bool check(int pass);

    // Progress: `steps` steps in all; each WRITE or READ step moves the bar through its commands.
    void progressBegin(std::string_view title, int steps);
    void progressText(std::string_view text);
    void progressEnd();
    void stepDone();

private:
    CannedTestRun& run_;
    bool logSelectRefused_ = false;
    bool locateRefused_ = false;
    bool progressOpen_ = false;
    int steps_ = 1;
    int stepsDone_ = 0;
    long stepCommands_ = 0;  // the commands the running step will send; 0 unknown
};

// True when the sense names one of the positions a tape reaches in normal work: a filemark,
// end of data (BLANK CHECK) or end of medium (early warning, VOLUME OVERFLOW).
bool isPositionCondition(const command::LastSense& sense);

}  // namespace vexal::diag
