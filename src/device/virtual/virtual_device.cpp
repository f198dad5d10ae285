#include "device/virtual/virtual_device.h"

#include <algorithm>

namespace vexal::device::virt {

void WarningLog::add(std::string text) {
    std::lock_guard lock(mutex_);
    items_.push_back(std::move(text));
}

std::vector<std::string> WarningLog::all() const {
    std::lock_guard lock(mutex_);
    return items_;
}

VirtualDevice::VirtualDevice(DeviceProfile profile, std::shared_ptr<CdbTrace> trace)
    : profile_(std::move(profile)), trace_(std::move(trace)), startedAt_(std::chrono::steady_clock::now()) {
    if (profile_.unitAttention) raiseUnitAttention(0x29, 0x00);  // power on
}

SenseCounters VirtualDevice::counters() const {
    SenseCounters c;
    c.powerOnHours = powerOnHours();
    return c;
}

uint32_t VirtualDevice::powerOnHours() const {
    const auto up = std::chrono::steady_clock::now() - startedAt_;
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::hours>(up).count());
}

bool VirtualDevice::becomingReady() const {
    return std::chrono::steady_clock::now() < startedAt_ + std::chrono::seconds(profile_.notReadySeconds);
}

void VirtualDevice::raiseUnitAttention(uint8_t asc, uint8_t ascq) {
    pendingAttention_ = makeSense(sense_key::UnitAttention, asc, ascq);
}

void VirtualDevice::reset() {
    std::lock_guard lock(mutex_);
    pendingAttention_.reset();
    lastSense_.reset();
    onReset();
}

void VirtualDevice::dispatch(Exchange& x) {
    uint8_t attributes = 0;
    const bool known = lookup(x.opcode(), attributes);
    if (!(attributes & attr::AlwaysAnswers) && pendingAttention_) {
        x.fail(*pendingAttention_);
        pendingAttention_.reset();
    } else if (!known) {
        x.fail(invalidOpcode());
    } else if (!(attributes & attr::AlwaysAnswers) && becomingReady()) {
        x.fail(makeSense(sense_key::NotReady, 0x04, 0x01));
    } else if ((attributes & attr::NeedsMedium) && !mediumReady()) {
        x.fail(makeSense(sense_key::NotReady, 0x3A, 0x00));
    } else {
        run(x.opcode(), x);
    }
    // The sense of this command is what the next REQUEST SENSE returns.
    lastSense_ = x.sense;
}

void VirtualDevice::execute(RequestBlock& srb) {
    Exchange x;
    x.cdbLength = static_cast<uint8_t>(std::min<size_t>(srb.cdbLength, x.cdb.size()));
    std::copy_n(srb.cdb.begin(), x.cdbLength, x.cdb.begin());
    x.buffer = srb.bufferLength > 0 ? srb.buffer : nullptr;
    x.bufferLength = x.buffer ? srb.bufferLength : 0;

    uint8_t hostStatus = ha_status::Ok;
    std::vector<uint8_t> sense;
    {
        std::lock_guard lock(mutex_);
        ++commandCount_;
        const auto reached = [&](uint64_t n) { return n != 0 && commandCount_ >= n; };
        const bool timeout = reached(profile_.timeoutAfter);
        const bool busFree = reached(profile_.disconnectAfter);
        if (offBus())
            hostStatus = ha_status::SelectionTimeout;
        else if (timeout && (!busFree || profile_.timeoutAfter <= profile_.disconnectAfter))
            hostStatus = ha_status::CommandTimeout;
        else if (busFree)
            hostStatus = ha_status::UnexpectedBusFree;
        else
            dispatch(x);
        if (x.sense) sense = senseBytes(*x.sense, descriptorSense());
    }

    srb.residual = x.buffer ? x.bufferLength - std::min(x.transferred, x.bufferLength) : 0;
    srb.hostAdapterStatus = hostStatus;
    if (hostStatus != ha_status::Ok) {
        srb.targetStatus = target_status::Good;
        srb.senseLength = 0;
        srb.residual = x.bufferLength;
        x.transferred = 0;
    } else if (x.sense) {
        srb.targetStatus = target_status::CheckCondition;
        const size_t n = std::min<size_t>({sense.size(), srb.senseLength, kMaxSense});
        std::copy_n(sense.begin(), n, srb.senseArea.begin());
        srb.senseLength = static_cast<uint8_t>(n);
    } else {
        srb.targetStatus = target_status::Good;
        srb.senseLength = 0;
    }

    if (trace_) {
        TraceOutcome outcome;
        outcome.hostStatus = hostStatus;
        outcome.sense = x.sense ? &*x.sense : nullptr;
        outcome.length = x.transferred;
        outcome.direction = (srb.flags & srb_flags::DataIn)    ? TraceDirection::In
                            : (srb.flags & srb_flags::DataOut) ? TraceDirection::Out
                                                               : TraceDirection::None;
        trace_->record(x.cdb.data(), x.cdbLength, outcome);
    }
    srb.status.store(hostStatus == ha_status::Ok && !x.sense ? srb_status::Complete : srb_status::Error);
}

void VirtualDevice::inquiry(Exchange& x) {
    if (x.bit(1, 1)) return x.fail(invalidCdbField(1, 1));  // CmdDt
    const bool evpd = x.bit(1, 0);
    const uint8_t page = x.byte(2);
    std::vector<uint8_t> data;
    if (!evpd) {
        if (page != 0) return x.fail(invalidCdbField(2));
        data = standardInquiry(profile_);
    } else if (!vpdPage(profile_, page, familyDetails(), data)) {
        return x.fail(invalidCdbField(2));
    }
    x.sendData(data.data(), data.size(), x.be16(3));
}

std::vector<uint8_t> VirtualDevice::senseBytes(const Sense& sense, bool descriptor) const {
    if (descriptor) return buildDescriptorSense(sense);
    const auto fixed = buildFixedSense(sense, counters());
    return {fixed.begin(), fixed.end()};
}

void VirtualDevice::requestSense(Exchange& x) {
    const bool descriptor = x.bit(1, 0);  // DESC
    Sense s;
    if (pendingAttention_) {
        s = *pendingAttention_;
        pendingAttention_.reset();
    } else if (lastSense_) {
        s = *lastSense_;
    } else if (becomingReady()) {
        s = makeSense(sense_key::NotReady, 0x04, 0x01);
    }
    const auto bytes = senseBytes(s, descriptor);
    x.sendData(bytes.data(), bytes.size(), x.byte(4));
}

}  // namespace vexal::device::virt
