// libFuzzer target: the sense decoder and the status lines on arbitrary sense bytes.
// The input is read twice: directly (a 4-byte result, a byte count, then the sense bytes)
// and as the replies of a drive to TEST UNIT READY and REQUEST SENSE, whose sense then comes
// back through the device library. Checked: the last sense holds only what the bytes say,
// the result is named by the ASC/ASCQ pair or kept, and the view gets what the log gets.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "command/last_sense.h"
#include "command/scsi_result.h"
#include "command/sense_decoder.h"
#include "command/status_names.h"
#include "device/sense_format.h"
#include "fuzz_drive.h"
#include "support/recording_output.h"

namespace {

using namespace vexal;
using command::kStatusSenseLength;

void check(bool ok) {
    if (!ok) std::abort();
}

void exerciseDrive(fuzz::FuzzDrive& drive) {
    drive.device.TestUnitReady();
    drive.device.RequestSense();
    drive.device.TestUnitReady();
}

void direct(const uint8_t* data, size_t size) {
    if (size < 5) return;
    const command::ScsiResult result =
        static_cast<command::ScsiResult>((uint32_t{data[0]} << 24) | (uint32_t{data[1]} << 16) | (uint32_t{data[2]} << 8) | data[3]);
    const size_t count = data[4];
    const std::span<const uint8_t> rest(data + 5, size - 5);

    std::array<uint8_t, kStatusSenseLength> sense{};
    std::copy_n(rest.begin(), std::min(rest.size(), sense.size()), sense.begin());

    testing::RecordingOutput out(true);
    command::DeviceStatusState state;
    const command::DeviceStatusState before = state;
    const command::ScsiResult named = command::LogCommandStatusWithSense(result, sense, out, state);
    check(out.view.size() == out.log.size());
    for (size_t i = 0; i < out.view.size(); ++i) check(out.view[i] == out.log[i].second);
    if (result == 0) {
        check(named == 0 && state.lastSense == before.lastSense);
    } else if (sense[0] == 0) {
        // Without sense only a transport's own ending (AAxx, ABxx) is named in the frame.
        const bool transportFailure = (result & 0xFF00) == 0xAA00 || (result & 0xFF00) == 0xAB00;
        check(named == result && state.lastSense == before.lastSense && out.view.empty() != transportFailure);
    } else {
        // Either layout (fixed or descriptor) names the same fields through the shared reader.
        const device::SenseFields f = device::parseSense(sense);
        const int pair = f.asc * 256 + f.ascq;
        check(named == ((pair != 0 && pair != 0xCCCC) ? pair : result));
        check(state.lastSense.senseKey == f.key);
        check(state.lastSense.ili == f.ili && state.lastSense.eom == f.eom && state.lastSense.fm == f.filemark);
        check(state.lastSense.asc == f.asc && state.lastSense.ascq == f.ascq);
        check(state.lastStatus == command::statusName(named));
    }

    // A buffer of any length, shorter than the fields it names included.
    command::LastSense last;
    testing::RecordingOutput raw(false);
    command::LogSenseData(rest.data(), std::min(count, rest.size()), raw, last);
    check(raw.view.empty() && raw.log.empty());
    check(last.senseKey <= 0x0F && last.ili <= 1 && last.eom <= 1 && last.fm <= 1);

    (void)command::senseKeyWord(data[4]);
    (void)command::resultFromLibrary(data[0], static_cast<int>(data[1]));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::FuzzDrive::captureIfAsked(false, exerciseDrive);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    direct(data, size);
    static fuzz::FuzzDrive drive;
    drive.run(std::span<const uint8_t>(data, size), exerciseDrive);
    const command::LastSense& last = drive.device.status.lastSense;
    check(last == command::LastSense{} || (last.senseKey <= 0x0F && last.ili <= 1 && last.eom <= 1 && last.fm <= 1));
    return 0;
}
