#pragma once
// The canned tests: the Write/Read Test (code 39) and the numbered tests 1 "Data
// Reliability", 2 "Append", 3 "Locate" and 4 "Variable Block" (codes 40 to 43). Each runs
// as one command code on the worker, sends its commands through the device's menu
// commands and frames the whole test with its own bracketed lines.
#include <string_view>

#include "diag/canned_steps.h"

namespace vexal::diag {

struct CannedTestOutcome {
    long passesRequested = 0;
    long passesCompleted = 0;
    bool notReady = false;
    bool aborted = false;
    bool failed = false;  // a step failed, a compare error, or a check stopped the test
    command::ScsiResult result = 0;  // the failing command's result, when one failed
};

// The test's name as the terminal knows it ("write-read", "1" .. "4") and its code.
int CannedTestCode(std::string_view name);

CannedTestOutcome RunCannedTest(int code, CannedTestRun& run);
CannedTestOutcome RunWriteReadTest(CannedTestRun& run);
CannedTestOutcome RunTest1(CannedTestRun& run);
CannedTestOutcome RunTest2(CannedTestRun& run);
CannedTestOutcome RunTest3(CannedTestRun& run);
CannedTestOutcome RunTest4(CannedTestRun& run);

// 0 when the test passed; otherwise the failing command's result, or 1.
command::ScsiResult CannedTestResult(const CannedTestOutcome& outcome);

// Test 3's target block for draw `r` (0 to 0x7FFF) of `blocks` written blocks.
uint32_t LocateTarget(uint32_t r, uint64_t blocks);

}  // namespace vexal::diag
