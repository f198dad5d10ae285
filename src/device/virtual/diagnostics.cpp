#include "device/virtual/diagnostics.h"

#include "device/virtual/byte_order.h"

namespace vexal::device::virt {
namespace {

// Self-test codes of SEND DIAGNOSTIC (byte 1 bits 7-5).
constexpr uint8_t kBackgroundShort = 1, kBackgroundExtended = 2, kAbortBackground = 4, kForegroundShort = 5,
                  kForegroundExtended = 6;

Sense selfTestFailed() { return makeSense(sense_key::HardwareError, 0x3E, 0x03); }

}  // namespace

bool Diagnostics::run(uint8_t byte1, uint8_t code, uint32_t powerOnHours, bool logged) {
    SelfTestRecord r;
    r.command = byte1;
    r.code = code;
    r.powerOnHours = powerOnHours;
    if (fails_) {
        r.result = 5;
        r.segment = 1;
        r.key = sense_key::HardwareError;
        r.asc = 0x40;  // diagnostic failure on component 80h
        r.ascq = 0x80;
    }
    last_ = r;
    nextPage_ = 0x80;
    if (logged) {
        if (log_.size() == kLogEntries) log_.pop_back();
        log_.push_front(r);
    }
    return !fails_;
}

bool Diagnostics::send(uint8_t byte1, const uint8_t* data, size_t length, uint32_t powerOnHours, Sense& error) {
    const uint8_t code = byte1 >> 5;
    const bool pf = byte1 & 0x10;
    const bool selfTest = byte1 & 0x04;
    const bool offline = byte1 & 0x03;  // DEVOFFL, UNITOFFL
    if (byte1 & 0x08) {
        error = invalidCdbField(1, 3);
        return false;
    }
    if ((selfTest || code != 0) && length != 0) {
        error = invalidCdbField(3);
        return false;
    }
    if (selfTest) {
        if (code != 0) {
            error = invalidCdbField(1, 7);
            return false;
        }
        if (!run(byte1, 0, powerOnHours, false)) error = selfTestFailed();
        return !fails_;
    }
    switch (code) {
    case 0: break;
    case kAbortBackground: return true;  // background tests complete at once: nothing runs
    case kBackgroundShort:
    case kBackgroundExtended:
        run(byte1, code, powerOnHours, true);  // a failure shows only in the results
        return true;
    case kForegroundShort:
    case kForegroundExtended:
        if (!run(byte1, code, powerOnHours, true)) {
            error = selfTestFailed();
            return false;
        }
        return true;
    default:
        error = invalidCdbField(1, 7);
        return false;
    }
    if (length > 0) {
        if (!pf) {  // vendor-specific parameter lists: none
            error = invalidCdbField(1, 4);
            return false;
        }
        if (length < 4) {
            error = makeSense(sense_key::IllegalRequest, 0x1A, 0x00);
            return false;
        }
        if (data[0] != 0x00) {
            error = invalidParameterField(0);
            return false;
        }
        nextPage_ = 0x00;
        return true;
    }
    // The drive's extended test, run in the foreground when the device off-line bits come
    // without SELFTEST.
    if (offline && !run(byte1, 0, powerOnHours, false)) {
        error = selfTestFailed();
        return false;
    }
    return true;
}

bool Diagnostics::receive(bool pcv, uint8_t page, std::vector<uint8_t>& out, Sense& error) const {
    if (!pcv) page = nextPage_;
    if (page == 0x00) {
        out = {0x00, 0x00, 0x00, 0x02, 0x00, 0x80};
        return true;
    }
    if (page != 0x80) {
        error = invalidCdbField(2);
        return false;
    }
    out.assign(16, 0);
    out[0] = 0x80;
    putBe16(&out[2], 12);
    out[4] = last_.command;
    out[5] = last_.result;
    out[6] = last_.segment;
    out[7] = kSegments;
    putBe32(&out[8], last_.powerOnHours);
    out[12] = last_.key;
    out[13] = last_.asc;
    out[14] = last_.ascq;
    return true;
}

}  // namespace vexal::device::virt
