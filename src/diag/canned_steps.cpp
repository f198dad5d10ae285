#include "diag/canned_steps.h"

#include <algorithm>

#include "diag/debug_trace.h"

namespace vexal::diag {

using command::LineRule;
using command::ScsiResult;

namespace {

constexpr int kProgressScale = 1000;
constexpr uint8_t kIllegalRequest = 0x05;

bool transportFailure(ScsiResult result) {
    const int family = (result >> 8) & 0xFF;
    return family >= 0xAA && family <= 0xAD;
}

}  // namespace

bool isPositionCondition(const command::LastSense& s) {
    if (s.senseKey == 0x08 || s.senseKey == 0x0D) return true;  // BLANK CHECK, VOLUME OVERFLOW
    return s.senseKey == 0x00 && (s.fm == 1 || s.eom == 1);
}

CannedSteps::CannedSteps(CannedTestRun& run) : run_(run) {
    run_.device.signals.transferred = [this](long done) {
        if (!progressOpen_) return;
        const double within = stepCommands_ > 0 ? std::min(1.0, double(done) / double(stepCommands_)) : 0.0;
        run_.op.progressSetPosition(static_cast<int>((stepsDone_ + within) * kProgressScale / steps_));
    };
}

CannedSteps::~CannedSteps() {
    run_.device.signals.transferred = nullptr;
    progressEnd();
}

void CannedSteps::line(std::string_view text) {
    if (text.empty()) run_.device.output().addToView(text);
    else run_.device.output().both(0, text);
}

bool CannedSteps::readyCheck() {
    run_.device.TestUnitReady();
    run_.device.TestUnitReady();
    // The third, without lines, decides.
    const uint8_t cdb[6] = {0x00, 0, 0, 0, 0, 0};
    return run_.device.ExecuteCdb(cdb, 6, nullptr, 0, false) == 0;
}

void CannedSteps::compression() { run_.device.Compression(run_.request.compression); }

void CannedSteps::blockSize() {
    if (run_.request.fixed) command(run_.device.SetBlockSize(run_.request.blockSize));
}

void CannedSteps::resetLogCounters() {
    if (logSelectRefused_) return;
    if (run_.device.LogSelectReset() != 0 && run_.device.status.lastSense.senseKey == kIllegalRequest) {
        logSelectRefused_ = true;
        line("  [Log counters not reset: the drive does not accept LOG SELECT]");
    }
}

ScsiResult CannedSteps::locate(uint32_t block) {
    auto& d = run_.device;
    if (!locateRefused_) {
        command::CommandRequest r;
        r.blockAddress = block;
        const ScsiResult result = d.Locate(r);
        const auto& sense = d.status.lastSense;
        if (result == 0 || sense.senseKey != kIllegalRequest || sense.asc != 0x20) return result;
        locateRefused_ = true;
        line("  [LOCATE not supported: the block is reached with REWIND and SPACE]");
    }
    ScsiResult result = d.Rewind();
    constexpr uint32_t kMaxSpace = 0x7FFFFF;  // SPACE(6) counts are 24-bit signed
    for (uint32_t left = block; result == 0 && left > 0;) {
        const uint32_t n = std::min(left, kMaxSpace);
        result = d.Space(0, static_cast<int32_t>(n));
        left -= n;
    }
    return result;
}

StepOutcome CannedSteps::command(ScsiResult result) {
    StepOutcome o;
    o.result = result;
    o.failed = result != 0;
    o.hard = result != 0 && (transportFailure(result) || !isPositionCondition(run_.device.status.lastSense));
    errorFlag = errorFlag || o.hard;
    return o;
}

StepOutcome CannedSteps::transfer(bool write, const command::CommandRequest& stepRequest) {
    command::CommandRequest r = stepRequest;  // the count is restored for every step
    r.code = write ? command::code::Write : command::code::Read;
    r.rawCdbLine = false;
    r.compareDumpBytes = 32;
    if (write) r.compare = false;
    stepCommands_ = r.count;
    auto& d = run_.device;
    const ScsiResult result = write ? d.Write(r, run_.counter, run_.abort) : d.Read(r, run_.counter, run_.abort);
    run_.counter = 0;
    StepOutcome o;
    o.result = result;
    const bool miscompare = d.compareErrors > 0;
    o.hard = miscompare || (result != 0 && (transportFailure(result) || !isPositionCondition(d.status.lastSense)));
    // Running to the end of medium ends with a failed command: only a hard one fails the step.
    o.failed = r.count == 0 ? o.hard : (result != 0 || miscompare);
    errorFlag = errorFlag || o.hard;
    stepDone();
    return o;
}

StepOutcome CannedSteps::write() { return transfer(true, run_.request); }
StepOutcome CannedSteps::read() { return transfer(false, run_.request); }

bool CannedSteps::check(int pass) {
    auto& d = run_.device;
    WriteBackupLog(d.output().viewLines(), run_.folder, d.address.hostAdapter, d.address.target);
    if (!errorFlag) return true;
    d.TestUnitReady();
    d.TestUnitReady();
    ReadDebugTrace(d, run_.op, run_.folder, pass);
    return false;
}

void CannedSteps::progressBegin(std::string_view title, int steps) {
    steps_ = std::max(1, steps);
    stepsDone_ = 0;
    run_.op.progressBegin(title, 0, kProgressScale);
    progressOpen_ = true;
}

void CannedSteps::progressText(std::string_view text) {
    if (progressOpen_) run_.op.progressSetText(text);
}

void CannedSteps::progressEnd() {
    if (progressOpen_) run_.op.progressEnd();
    progressOpen_ = false;
}

void CannedSteps::stepDone() {
    stepCommands_ = 0;
    if (!progressOpen_) return;
    stepsDone_ = std::min(stepsDone_ + 1, steps_);
    run_.op.progressSetPosition(stepsDone_ * kProgressScale / steps_);
}

}  // namespace vexal::diag
