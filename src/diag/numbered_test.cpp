#include "diag/numbered_test.h"

#include <array>

#include <fmt/format.h>

namespace vexal::diag {
namespace {

constexpr std::array<NumberedFrame, 4> kFrames{{
    {1, "Test 1 - Data Reliability Test", "[FLDR_TEST1_BEGIN Initiating Test 1 - Data Reliability Test]",
     "[FLDR_TEST1_SUMMARY]", "[FLDR_TEST1_END Completing Test 1 - Data Reliability Test]"},
    {2, "Test 2 - Append Test", "[FLDR_TEST2_BEGIN Initiating Test 2 - Append Test]", "[FLDR_TEST2_SUMMARY]",
     "[FLDR_TEST2_END Completing Test 2 - Append Test]"},
    {3, "Test 3 - Locate Test", "[FLDR_TEST3_BEGIN Initiating Test 3 - Locate Test]", "[FLDR_TEST3_SUMMARY]",
     "[FLDR_TEST3_END Completing Test 3 - Locate Test]"},
    {4, "Test 4 - Variable Block Test", "[FLDR_TEST4_BEGIN Initiating Test 4 - Variable Block Test]", nullptr,
     "[FLDR_TEST4_END Completing Test 4 - Variable Block Test]"},
}};

}  // namespace

const NumberedFrame& numberedFrame(int number) { return kFrames[static_cast<size_t>(number - 1)]; }

NumberedTest::NumberedTest(CannedTestRun& run, int number) : run_(run), s_(run), frame_(numberedFrame(number)) {
    o_.passesRequested = frame_.summary ? run.request.repeatCount : 0;
}

CannedTestOutcome NumberedTest::run(int progressSteps, const std::function<void(NumberedTest&)>& body) {
    auto& d = s_.device();
    s_.clearAbort();
    s_.line("");
    s_.line(frame_.begin);
    d.Inquiry(false);
    if (frame_.number == 1) d.Inquiry(true);
    if (!s_.readyCheck()) {
        s_.line("");
        s_.line("[FLDR_TEST_ABORT: Drive not ready or no tape in drive, test aborted.]");
        o_.notReady = true;
        return o_;
    }
    s_.compression();
    s_.blockSize();
    s_.progressBegin(frame_.title, progressSteps);
    body(*this);
    s_.progressEnd();
    s_.line("");
    if (frame_.summary) {
        s_.line(frame_.summary);
        s_.line(fmt::format("  Requested Test Repeat Count: {}", o_.passesRequested));
        s_.line(fmt::format("  Completed Test Repeat Count: {}", o_.passesCompleted));
        s_.line("");
    }
    s_.line(frame_.end);
    o_.aborted = s_.aborted();
    return o_;
}

bool NumberedTest::go(int pass) {
    if (!s_.check(pass)) {
        o_.failed = true;
        if (o_.result == 0) o_.result = 1;
        return false;
    }
    return !s_.aborted();
}

void NumberedTest::note(const StepOutcome& step) {
    if (run_.device.compareErrors > 0) noteFailure(o_, step);
}

}  // namespace vexal::diag
