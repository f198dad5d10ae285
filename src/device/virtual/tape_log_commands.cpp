// LOG SENSE and LOG SELECT of the virtual tape drive.
#include <algorithm>

#include "device/virtual/log_pages.h"
#include "device/virtual/virtual_tape_drive.h"

namespace vexal::device::virt {
namespace {

constexpr uint8_t kTapeAlertPage = 0x2E;

// Device status: cleaning required (flag 20, clean now), requested (21, clean periodic),
// cleaning tape expired (22); conditions of the profile, whether or not the flag was read.
uint32_t cleaningStatus(const std::vector<uint8_t>& alerts) {
    const auto has = [&](uint8_t flag) { return std::find(alerts.begin(), alerts.end(), flag) != alerts.end(); };
    if (has(20)) return 4;
    if (has(21)) return 2;
    if (has(22)) return 1;
    return 0;
}

}  // namespace

void VirtualTapeDrive::logSense(Exchange& x) {
    if (x.bit(1, 0)) return x.fail(invalidCdbField(1, 0));  // SP: parameters are not saved
    if (x.bit(1, 1)) return x.fail(invalidCdbField(1, 1));  // PPC: not offered
    const auto control = static_cast<LogPageControl>(x.byte(2) >> 6);
    const uint8_t page = x.byte(2) & 0x3F;
    if (!hasLogPage(page)) return x.fail(invalidCdbField(2, 5));
    if (x.byte(3) != 0) return x.fail(invalidCdbField(3));  // subpages: none
    const uint32_t pointer = x.be16(5);
    const uint32_t allocation = x.be16(7);

    LogSources sources;
    sources.log = &log_;
    sources.alerts = alerts_;
    sources.family = profile().byte36 >> 4;
    sources.cleaningStatus = cleaningStatus(profile().tapeAlerts);
    sources.powerOnHours = powerOnHours();
    if (loaded_) {
        sources.capacityBytes = medium_.capacity();
        const uint64_t used = medium_.bytesBefore(position_);
        sources.remainingBytes = used < medium_.capacity() ? medium_.capacity() - used : 0;
    }
    sources.events = events_;
    sources.selfTests = &diagnostics_.log();

    std::vector<LogParameter> params = page == 0x00 ? std::vector<LogParameter>{}
                                                    : logParameters(page, control, sources);
    // The parameter pointer: parameters from that code on; past the last code it is refused.
    if (pointer != 0) {
        if (params.empty() || pointer > params.back().code) return x.fail(invalidCdbField(5));
        params.erase(params.begin(), std::find_if(params.begin(), params.end(),
                                                  [&](const LogParameter& p) { return p.code >= pointer; }));
    }
    const std::vector<uint8_t> data = encodeLogPage(page, params);
    x.sendData(data.data(), data.size(), allocation);

    // Reading the Tape Alert page clears the flags the initiator received (a flag's value
    // byte arrived); a read of the default values clears nothing.
    if (page == kTapeAlertPage &&
        (control == LogPageControl::Threshold || control == LogPageControl::Cumulative)) {
        size_t at = 4;
        for (const LogParameter& p : params) {
            at += 4 + p.value.size();
            if (at > x.transferred) break;
            alerts_.reset(p.code - 1u);
        }
    }
}

void VirtualTapeDrive::logSelect(Exchange& x) {
    if (x.bit(1, 0)) return x.fail(invalidCdbField(1, 0));  // SP: parameters are not saved
    const bool reset = x.bit(1, 1);                         // PCR
    const uint8_t page = x.byte(2) & 0x3F;
    if (page != 0 && !hasLogPage(page)) return x.fail(invalidCdbField(2, 5));
    if (x.byte(3) != 0) return x.fail(invalidCdbField(3));
    const uint32_t length = x.be16(7);
    if (reset) {
        // Every page (page code 0) or the one named; the page control field does not
        // narrow it: all cumulative counters go back to zero.
        if (length != 0) return x.fail(invalidCdbField(7));
        log_.resetPage(page);
        return;
    }
    if (length == 0) return;  // nothing to change
    if (!x.buffer || x.bufferLength < length) return x.fail(makeSense(sense_key::AbortedCommand, 0x4B, 0x00));
    x.transferred = length;
    if (length < 4) return x.fail(makeSense(sense_key::IllegalRequest, 0x1A, 0x00));
    const uint8_t sent = x.buffer[0] & 0x3F;
    if (!hasLogPage(sent) || (page != 0 && sent != page)) return x.fail(invalidParameterField(0, 5));
    // No parameter can be set or have its threshold changed.
    if (getBe16(&x.buffer[2]) != 0) return x.fail(invalidParameterField(4));
}

}  // namespace vexal::device::virt
