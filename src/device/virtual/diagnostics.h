#pragma once
// SEND DIAGNOSTIC and RECEIVE DIAGNOSTIC RESULTS of the virtual tape drive: the default
// self-test, the short and extended self-tests (foreground and background, all complete
// at once), the vendor extended test that the device off-line bits ask for without
// SELFTEST, and the diagnostic pages 00h (supported pages) and 80h (self-test results).
#include <cstdint>
#include <deque>
#include <vector>

#include "device/virtual/sense_builder.h"

namespace vexal::device::virt {

struct SelfTestRecord {
    uint8_t command = 0;  // byte 1 of the SEND DIAGNOSTIC CDB that ran it (0: the power-on test)
    uint8_t code = 0;     // self-test code field
    uint8_t result = 0;   // 0 completed without error, 5 the first segment failed
    uint8_t segment = 0;  // the segment that failed, 0 when none did
    uint32_t powerOnHours = 0;
    uint8_t key = 0;
    uint8_t asc = 0;
    uint8_t ascq = 0;
};

class Diagnostics {
public:
    static constexpr size_t kLogEntries = 20;   // self-test results log page 10h
    static constexpr uint8_t kSegments = 3;

    explicit Diagnostics(bool selfTestFails) : fails_(selfTestFails) {}

    // Carries out SEND DIAGNOSTIC; `data` holds the parameter list of `length` bytes.
    // False with the sense the command ends with.
    bool send(uint8_t byte1, const uint8_t* data, size_t length, uint32_t powerOnHours, Sense& error);
    // RECEIVE DIAGNOSTIC RESULTS: without PCV the page the last SEND DIAGNOSTIC chose.
    bool receive(bool pcv, uint8_t page, std::vector<uint8_t>& out, Sense& error) const;

    // Short and extended self-tests, newest first.
    const std::deque<SelfTestRecord>& log() const { return log_; }

private:
    // Runs a self-test; false when it failed (the profile says self_test = fail).
    bool run(uint8_t byte1, uint8_t code, uint32_t powerOnHours, bool logged);

    bool fails_;
    SelfTestRecord last_;
    std::deque<SelfTestRecord> log_;
    uint8_t nextPage_ = 0x80;
};

}  // namespace vexal::device::virt
