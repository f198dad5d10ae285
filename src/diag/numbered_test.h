#pragma once
// The frame every numbered canned test shares: begin line, INQUIRY, ready check,
// compression, block size, the test's steps, the summary block and the end line.
#include <functional>

#include "diag/canned_tests.h"

namespace vexal::diag {

struct NumberedFrame {
    int number;
    const char* title;
    const char* begin;
    const char* summary;  // null: no summary block
    const char* end;
};

const NumberedFrame& numberedFrame(int number);

// Marks the outcome failed with the step's result.
void noteFailure(CannedTestOutcome& o, const StepOutcome& step);

class NumberedTest {
public:
    NumberedTest(CannedTestRun& run, int number);

    // Writes the frame around `body`; `progressSteps` steps fill the progress bar.
    CannedTestOutcome run(int progressSteps, const std::function<void(NumberedTest&)>& body);
    // The check after a step; false when the test stops (error flag or abort).
    bool go(int pass);
    // A step whose miscompare fails the test even when the check lets it go on.
    void note(const StepOutcome& step);

    CannedTestRun& run_;
    CannedSteps s_;
    const NumberedFrame& frame_;
    CannedTestOutcome o_;
};

}  // namespace vexal::diag
