#pragma once
// The log pages of the virtual tape drive as LOG SENSE returns them: a 4-byte header
// (page code, reserved, page length) and parameters (code, control byte, length, value),
// all big-endian. docs/virtual-drive.md lists every page and parameter.
//
// Page control: cumulative values (01b) are the drive's current values; default
// cumulative values (11b) show every counter at 0 and no Tape Alert flag; threshold
// values (00b and 10b) show every counter at its largest value (no threshold is ever
// met). Status values (temperature, capacity, ratios, device status other than counts),
// the Tape Alert flags in threshold values, and the list pages (07h, 10h, 33h) are the
// same for every page control.
#include <bitset>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

#include "device/virtual/diagnostics.h"
#include "device/virtual/drive_log.h"
#include "device/virtual/log_parameter.h"

namespace vexal::device::virt {

// What the pages report besides the drive log.
struct LogSources {
    const DriveLog* log = nullptr;
    std::bitset<64> alerts;           // Tape Alert flag n is bit n-1
    uint8_t family = 0;               // device status: device type
    uint32_t cleaningStatus = 0;      // 0 none, 1 cleaning tape expired, 2 requested, 4 required
    uint32_t powerOnHours = 0;
    uint64_t capacityBytes = 0;       // 0 without a cartridge
    uint64_t remainingBytes = 0;      // from the current position to the end of the partition
    std::span<const LogParameter> events;            // page 07h
    const std::deque<SelfTestRecord>* selfTests = nullptr;  // page 10h, newest first
};

bool hasLogPage(uint8_t page);
// The parameters of a page other than 00h, in ascending code order.
std::vector<LogParameter> logParameters(uint8_t page, LogPageControl control, const LogSources& sources);
// The page as LOG SENSE returns it: page 00h lists the pages, the others the parameters.
std::vector<uint8_t> encodeLogPage(uint8_t page, std::span<const LogParameter> params);

}  // namespace vexal::device::virt
