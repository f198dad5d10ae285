#include "diag/canned_tests.h"

#include "diag/numbered_test.h"

#include <array>
#include <cstdlib>
#include <functional>

#include <fmt/format.h>

namespace vexal::diag {

namespace code = command::code;


int CannedTestCode(std::string_view name) {
    if (name == "write-read") return code::WriteReadTest;
    if (name == "1") return code::CannedTest1;
    if (name == "2") return code::CannedTest2;
    if (name == "3") return code::CannedTest3;
    if (name == "4") return code::CannedTest4;
    return code::None;
}

CannedTestOutcome RunCannedTest(int c, CannedTestRun& run) {
    switch (c) {
    case code::WriteReadTest: return RunWriteReadTest(run);
    case code::CannedTest1: return RunTest1(run);
    case code::CannedTest2: return RunTest2(run);
    case code::CannedTest3: return RunTest3(run);
    case code::CannedTest4: return RunTest4(run);
    default: return {};
    }
}

command::ScsiResult CannedTestResult(const CannedTestOutcome& o) {
    if (!o.failed && !o.aborted && !o.notReady && o.passesCompleted == o.passesRequested) return 0;
    return o.result != 0 ? o.result : 1;
}

void noteFailure(CannedTestOutcome& o, const StepOutcome& step) {
    o.failed = true;
    if (o.result == 0) o.result = step.result != 0 ? step.result : 1;
}

CannedTestOutcome RunWriteReadTest(CannedTestRun& run) {
    CannedSteps s(run);
    auto& d = s.device();
    const long repeat = run.request.repeatCount;
    CannedTestOutcome o;
    o.passesRequested = repeat;
    s.clearAbort();
    s.line("");
    s.line("[Write/Read Canned Test -- Initiating.]");
    if (!s.readyCheck()) {
        s.line("");
        s.line("[Write/Read Canned Test -- Drive not ready or no tape in drive.]");
        o.notReady = true;
        return o;
    }
    s.progressBegin("Write/Read Canned Test", static_cast<int>(2 * repeat));
    s.compression();
    for (long i = 1; i <= repeat; ++i) {
        const std::string pass = fmt::format("[Write/Read Canned Test -- {} / {}]", i, repeat);
        s.line("");
        s.line(pass);
        s.progressText(pass);
        d.Rewind();
        if (s.aborted()) break;
        s.resetLogCounters();
        if (const auto w = s.write(); w.failed) {
            noteFailure(o, w);
            break;
        }
        if (s.aborted()) break;
        d.Rewind();
        if (s.aborted()) break;
        if (const auto r = s.read(); r.failed) {
            noteFailure(o, r);
            break;
        }
        if (s.aborted()) break;
        ++o.passesCompleted;
    }
    s.progressEnd();
    s.line("");
    s.line("[Write/Read Canned Test -- Summary]");
    s.line(run.request.count == 0 ? std::string("  Requested Test Repeat Count: EOM")
                                  : fmt::format("  Requested Test Repeat Count: {}", repeat));
    s.line(fmt::format("  Completed Test Repeat Count: {}", o.passesCompleted));
    s.line("");
    s.line("[Write/Read Canned Test -- Complete]");
    o.aborted = s.aborted();
    return o;
}


CannedTestOutcome RunTest1(CannedTestRun& run) {
    NumberedTest t(run, 1);
    const long repeat = run.request.repeatCount;
    return t.run(static_cast<int>(2 * repeat), [repeat](NumberedTest& test) {
        auto& s = test.s_;
        auto& d = s.device();
        for (int pass = 1; pass <= repeat; ++pass) {
            s.progressText(fmt::format("Pass {} / {}", pass, repeat));
            s.command(d.Rewind());
            if (!test.go(pass)) return;
            s.resetLogCounters();
            s.write();
            if (!test.go(pass)) return;
            s.command(d.Rewind());
            if (!test.go(pass)) return;
            s.resetLogCounters();
            test.note(s.read());
            if (!test.go(pass)) return;
            ++test.o_.passesCompleted;
        }
    });
}

CannedTestOutcome RunTest2(CannedTestRun& run) {
    NumberedTest t(run, 2);
    const long repeat = run.request.repeatCount;
    return t.run(static_cast<int>(5 * repeat), [repeat](NumberedTest& test) {
        auto& s = test.s_;
        auto& d = s.device();
        s.command(d.Rewind());
        s.command(d.WriteFilemarks(1));
        for (int pass = 1; pass <= repeat; ++pass) {
            s.progressText(fmt::format("Pass {} / {}", pass, repeat));
            s.command(d.Rewind());
            if (!test.go(pass)) return;
            s.command(d.Space(3, 0));
            if (!test.go(pass)) return;
            s.write();
            if (!test.go(pass)) return;
            s.command(d.WriteFilemarks(1));
            if (!test.go(pass)) return;
            s.command(d.Rewind());
            if (!test.go(pass)) return;
            s.command(d.Space(3, 0));
            if (!test.go(pass) || !test.go(pass)) return;
            // Four reads at the end of data: the first, third and fourth may fail without
            // stopping the test; the second is checked.
            test.note(s.read());
            s.errorFlag = false;
            if (s.aborted()) return;
            test.note(s.read());
            if (!test.go(pass)) return;
            test.note(s.read());
            s.errorFlag = false;
            if (s.aborted()) return;
            test.note(s.read());
            s.errorFlag = false;
            if (s.aborted()) return;
            d.ReadPosition(false);
            ++test.o_.passesCompleted;
        }
    });
}

uint32_t LocateTarget(uint32_t r, uint64_t blocks) {
    if (blocks == 0) return 0;
    const uint64_t target = r > blocks ? r % blocks : uint64_t{r} * blocks / 0x7FFF;
    // r = 0x7FFF with as many blocks would name end of data: the last block instead.
    return static_cast<uint32_t>(std::min(target, blocks - 1));
}

CannedTestOutcome RunTest3(CannedTestRun& run) {
    NumberedTest t(run, 3);
    const long repeat = run.request.repeatCount;
    return t.run(static_cast<int>(1 + repeat), [repeat](NumberedTest& test) {
        auto& s = test.s_;
        auto& d = s.device();
        const command::CommandRequest& request = s.request();
        s.command(d.Rewind());
        const StepOutcome w = s.write();
        const long written = d.completedCommands;
        d.ReadPosition(false);
        if (w.failed || s.aborted()) {
            if (w.failed) noteFailure(test.o_, w);
            test.go(0);
            return;
        }
        // Blocks written: per command (one in variable mode) times the count as entered,
        // or as done when the count ran to the end of medium.
        const uint64_t perCommand = request.fixed ? request.transferLength : 1;
        const uint64_t blocks = perCommand * static_cast<uint64_t>(request.count > 0 ? request.count : written);
        // The same repeat count gives the same targets, run after run.
        std::srand(static_cast<unsigned>(repeat));
        for (int pass = 1; pass <= repeat; ++pass) {
            s.progressText(fmt::format("Pass {} / {}", pass, repeat));
            const uint32_t target = LocateTarget(static_cast<uint32_t>(std::rand() & 0x7FFF), blocks);
            s.command(s.locate(target));
            if (!test.go(pass)) return;
            d.ReadPosition(false);
            // One block, checked against the pattern of its block number.
            command::CommandRequest one = request;
            one.count = 1;
            if (one.fixed) one.transferLength = 1;
            one.patternStart = target;
            const StepOutcome r = s.transfer(false, one);
            if (r.failed) noteFailure(test.o_, r);
            if (!test.go(pass)) return;
            ++test.o_.passesCompleted;
        }
    });
}

}  // namespace vexal::diag
