// Test 4 "Variable Block": one variable-length block of each size from the minimum to the
// maximum, then each block read back after a LOCATE to it and checked against the pattern.
#include <vector>

#include <fmt/format.h>

#include "command/data_pattern.h"
#include "diag/numbered_test.h"

namespace vexal::diag {

using command::LineRule;
using command::ScsiResult;

namespace {

std::vector<uint8_t> cdb6(uint8_t opcode, uint32_t length) {
    return {opcode, 0x00, static_cast<uint8_t>(length >> 16), static_cast<uint8_t>(length >> 8),
            static_cast<uint8_t>(length), 0};
}

std::vector<std::string> sizeLines(const command::CommandRequest& r) {
    return {"  Block Type:  Variable", fmt::format("  Minimum Block Size: {}", r.minBlockSize),
            fmt::format("  Maximum Block Size: {}", r.maxBlockSize),
            fmt::format("  Block Size Increment: {}", r.blockIncrement)};
}

// A frame of lines around commands sent without frames of their own: its status is the
// last command's.
void summaryFrame(command::CScsiDevice& d, std::string_view name, const command::CommandRequest& r, long completed,
                  ScsiResult last) {
    d.LogCommandSent();
    d.Line(name, LineRule::EngineeringOnly);
    for (const auto& line : sizeLines(r)) d.Line(line, LineRule::EngineeringOnly);
    d.Line(fmt::format("  Completed Consecutive Command Count: {}", completed), LineRule::EngineeringOnly);
    d.LogCommandStatus(last);
    d.LogCommandDone();
}

}  // namespace

CannedTestOutcome RunTest4(CannedTestRun& run) {
    NumberedTest t(run, 4);
    return t.run(2, [&run](NumberedTest& test) {
        auto& s = test.s_;
        auto& d = s.device();
        const command::CommandRequest& r = run.request;
        const uint32_t step = r.blockIncrement > 0 ? r.blockIncrement : 1;
        std::vector<uint32_t> sizes;
        for (uint64_t size = r.minBlockSize; size <= r.maxBlockSize; size += step)
            sizes.push_back(static_cast<uint32_t>(size));

        s.command(d.Rewind());
        s.resetLogCounters();
        // Write phase: WRITE(6) commands without frames of their own.
        size_t written = 0;
        ScsiResult last = 0;
        std::vector<uint8_t> data;
        for (; written < sizes.size() && !s.aborted(); ++written) {
            data.assign(sizes[written], 0);
            command::fillPattern(r.dataPattern, written, 0, data);
            const auto cdb = cdb6(0x0A, sizes[written]);
            last = d.ExecuteCdb(cdb.data(), 6, data.data(), sizes[written], true);
            if (last != 0) {
                d.Line(fmt::format("  Write error at block size {}", sizes[written]), LineRule::Always, 2);
                break;
            }
            ++run.counter;
        }
        run.counter = 0;
        // The count is of the blocks written.
        summaryFrame(d, " Write", r, static_cast<long>(written), last);
        const StepOutcome writeStep = s.command(last);
        if (writeStep.failed) noteFailure(test.o_, writeStep);
        s.stepDone();
        if (s.aborted()) return;

        s.command(d.Rewind());
        if (!test.go(1)) return;
        s.resetLogCounters();

        // Read phase: each block written, located and read back.
        summaryFrame(d, " Read", r, static_cast<long>(written), 0);
        bool readFailed = false;
        for (size_t i = 0; i < written && !s.aborted(); ++i) {
            s.locate(static_cast<uint32_t>(i));
            d.ReadPosition(false);
            std::vector<uint8_t> got(sizes[i], 0), expected(sizes[i], 0);
            command::fillPattern(r.dataPattern, i, 0, expected);
            command::CScsiDevice::Frame frame{" Read", {"  Block Type:  Variable", fmt::format("  Block Size: {}", sizes[i])},
                                              LineRule::EngineeringOnly, LineRule::EngineeringOnly, false};
            long long miscompare = -1;
            const ScsiResult result =
                d.RunFrame(frame, cdb6(0x08, sizes[i]), got.data(), sizes[i], false, [&](ScsiResult res) {
                    if (res != 0 || r.dataPattern == command::pattern::NoCompare) return;
                    // Only the bytes the drive sent; a block that came short differs where it ends.
                    const size_t sent = d.transferred();
                    miscompare = command::comparePattern(r.dataPattern, i, 0, std::span(got).first(sent));
                    if (miscompare < 0 && sent < got.size()) miscompare = static_cast<long long>(sent);
                    if (miscompare >= 0)
                        d.Line(fmt::format(" [Vexal_Compare_Error: Data Miscompare at offset {}]", miscompare),
                               LineRule::Always, 2);
                });
            ++run.counter;
            if (result != 0 || miscompare >= 0) {
                d.Line(fmt::format("  Read error at block size {}", sizes[i]), LineRule::Always, 2);
                noteFailure(test.o_, s.command(result != 0 ? result : 1));
                readFailed = true;
                break;
            }
        }
        run.counter = 0;
        if (!readFailed && written < sizes.size() && !s.aborted())
            d.Line(fmt::format("  Read error at block size {}", sizes[written]), LineRule::Always, 2);
        s.stepDone();
    });
}

}  // namespace vexal::diag
