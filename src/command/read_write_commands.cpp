// READ and WRITE, single or consecutive, with data patterns and compare; the custom CDB.
#include <algorithm>
#include <array>
#include <vector>

#include <fmt/format.h>

#include "command/data_pattern.h"
#include "command/raw_data.h"
#include "command/scsi_device.h"
#include "device/device_library.h"
#include "device/sense_format.h"

namespace vexal::command {
namespace {

// What one command may move: a guard for requests that did not come through a dialog.
constexpr uint64_t kMaxTransferBytes = 16ull * 1024 * 1024;

std::string hexBytes(std::span<const uint8_t> data, size_t from, size_t count) {
    std::string out;
    for (size_t i = from; i < from + count && i < data.size(); ++i) out += fmt::format(" {:02X}", data[i]);
    return out;
}

// A command that ended with CHECK CONDITION but moved all its data: early warning on a
// WRITE (no sense or recovered error, EOM, no residue) and recovered errors. It counts as
// done; a filemark, an incorrect length or a residue means it did not complete.
bool dataWentThrough(ScsiResult result, int handle) {
    if (result != 1) return false;
    std::array<uint8_t, 64> sense{};
    const int count = std::clamp(device::DevGetSenseLength(handle), 0, static_cast<int>(sense.size()));
    if (count == 0) return false;
    device::DevGetStatus(handle, sense.data(), static_cast<size_t>(count));
    const device::SenseFields f = device::parseSense(std::span<const uint8_t>(sense.data(), static_cast<size_t>(count)));
    constexpr uint8_t kNoSense = 0, kRecoveredError = 1;
    return f.present() && (f.key == kNoSense || f.key == kRecoveredError) && !f.filemark && !f.ili &&
           (!f.informationValid || f.information == 0);
}

}  // namespace

void CScsiDevice::logCompareError(std::span<const uint8_t> got, long long offset, const CommandRequest& request,
                                  uint64_t commandIndex) {
    std::vector<uint8_t> expected(got.size());
    fillPattern(request.dataPattern, commandIndex, request.fixed ? request.blockSize : 0, expected);
    const size_t at = static_cast<size_t>(offset);
    Line(fmt::format(" [Vexal_Compare_Error: Data Miscompare at offset {}]", at), LineRule::Always, 2);
    if (request.compareDumpBytes > 0) {
        // A dump of the bytes from the difference on, read and expected.
        const size_t n = std::min<size_t>(request.compareDumpBytes, got.size() - at);
        Line(fmt::format("   Device Data Buffer[{}]:", at), LineRule::Always, 2);
        for (const auto& row : rawDataLines(got.data() + at, n)) Line(row, LineRule::Always, 2);
        Line(fmt::format("   Compare Data Buffer[{}]:", at), LineRule::Always, 2);
        for (const auto& row : rawDataLines(expected.data() + at, n)) Line(row, LineRule::Always, 2);
    } else {
        const size_t from = at & ~size_t{15};
        Line(fmt::format("   Device Data Buffer[{}]:{}", from, hexBytes(got, from, 16)), LineRule::Always, 2);
        Line(fmt::format("   Compare Data Buffer[{}]:{}", from, hexBytes(expected, from, 16)), LineRule::Always, 2);
    }
    Line("  [Vexal_ERROR: Compare error]", LineRule::Always, 2);
}

ScsiResult CScsiDevice::transfer(bool write, const CommandRequest& request, std::atomic<long>& counter,
                                 const std::atomic<int>& abort) {
    const LineRule rule = LineRule::EngineeringOnly;
    const uint32_t length = request.transferLength & 0xFFFFFF;
    const uint64_t bytes = request.fixed ? uint64_t{length} * request.blockSize : length;
    const uint8_t flags = static_cast<uint8_t>((request.fixed ? 1 : 0) | (!write && request.sili ? 2 : 0));
    const std::array<uint8_t, 6> cdb{static_cast<uint8_t>(write ? 0x0A : 0x08), flags,
                                     static_cast<uint8_t>(length >> 16), static_cast<uint8_t>(length >> 8),
                                     static_cast<uint8_t>(length), 0};
    completedCommands = 0;
    compareErrors = 0;

    LogCommandSent();
    Line(write ? " Write" : " Read", rule);
    Line(fmt::format("  Block Type: {}{}", request.fixed ? " Fixed" : " Variable",
                     !write && request.sili ? " SILI" : ""),
         rule);
    Line(fmt::format("  Logical Block Size: {}", request.blockSize), rule);
    Line(fmt::format("  Transfer Length: {}", length), rule);
    Line(request.count == 0 ? std::string("  Requested Consecutive Command Count: EOM")
                            : fmt::format("  Requested Consecutive Command Count: {}", request.count),
         rule);
    Line(fmt::format("  Data Pattern: {}", patternName(request.dataPattern)), rule);
    if (request.rawCdbLine) LogRawCdb(cdb.data(), 6, rule);

    ScsiResult result = 0;
    if (bytes == 0 || bytes > kMaxTransferBytes) {
        Line(fmt::format("  [Vexal_ERROR: a transfer of {} bytes is not possible]", bytes), LineRule::Always, 2);
        result = 0xAAE0;
    } else if (uint8_t* const buffer = device::DevBufferData(handle, static_cast<size_t>(bytes)); !buffer) {
        Line(fmt::format("  [Vexal_ERROR: no memory for a transfer of {} bytes]", bytes), LineRule::Always, 2);
        result = 0xAAE0;
    } else {
        // The data is built and checked in the device library's own buffer: nothing is
        // copied on the way to the device or back.
        const std::span<uint8_t> data(buffer, static_cast<size_t>(bytes));
        const uint32_t patternBlock = request.fixed ? request.blockSize : 0;
        // A single READ shows its data: what a failed command did not fill reads as zeros.
        if (!write && request.count == 1) std::fill(data.begin(), data.end(), uint8_t{0});
        const bool refill = !patternRepeatsEveryCommand(request.dataPattern);
        for (uint64_t i = 0; request.count <= 0 || i < static_cast<uint64_t>(request.count); ++i) {
            if (abort.load()) break;
            const uint64_t commandNumber = request.patternStart + i;
            // Sending does not change the bytes, so a pattern that repeats is built once.
            if (write && (i == 0 || refill)) fillPattern(request.dataPattern, commandNumber, patternBlock, data);
            result = ExecuteInPlace(cdb.data(), 6, static_cast<uint32_t>(bytes), write);
            if (result != 0 && !dataWentThrough(result, handle)) break;
            ++completedCommands;
            ++counter;
            if (signals.transferred) signals.transferred(completedCommands);
            if (!write && request.compare && request.dataPattern != pattern::NoCompare) {
                // Only the bytes the drive sent are compared; a block that came short
                // differs where it ends.
                const auto got = data.first(transferred());
                long long offset = comparePattern(request.dataPattern, commandNumber, patternBlock, got);
                if (offset < 0 && got.size() < data.size()) offset = static_cast<long long>(got.size());
                if (offset >= 0) {
                    ++compareErrors;
                    logCompareError(got, offset, request, commandNumber);
                    break;
                }
            }
            // Done, but not good: the run ends here as at any failure (the EOM variant's end).
            if (result != 0) break;
        }
        if (request.count == 1) LogRawData(data.data(), write ? data.size() : transferred(), rule);
    }
    Line(fmt::format("  Completed Consecutive Command Count: {}", completedCommands), rule);
    result = LogCommandStatus(result);
    LogCommandDone();
    return result;
}

ScsiResult CScsiDevice::Read(const CommandRequest& request, std::atomic<long>& counter, const std::atomic<int>& abort) {
    return transfer(false, request, counter, abort);
}

ScsiResult CScsiDevice::Write(const CommandRequest& request, std::atomic<long>& counter, const std::atomic<int>& abort) {
    return transfer(true, request, counter, abort);
}

ScsiResult CScsiDevice::CustomCdb(CommandRequest& request) {
    const LineRule rule = LineRule::EngineeringOnly;
    const auto& cdb = request.cdb;
    status.lastSense.clear();
    LogCommandSent();
    Line(" Custom CDB", rule);
    // Lengths other than 6, 10, 12 and 16 show their first six bytes only.
    const size_t shown = (cdb.size() == 10 || cdb.size() == 12 || cdb.size() == 16) ? cdb.size() : 6;
    std::string text = "  CDB:";
    for (size_t i = 0; i < shown; ++i) text += fmt::format(" {:02X}", i < cdb.size() ? cdb[i] : 0);
    Line(text, rule);
    auto& data = request.data;
    ScsiResult result = ExecuteCdb(cdb.data(), static_cast<int>(cdb.size()), data.data(),
                                   static_cast<uint32_t>(data.size()), request.toDevice);
    // Data from the drive only as far as it sent it (the rest of `data` is zeros).
    if (!data.empty()) LogRawData(data.data(), request.toDevice ? data.size() : transferred(), rule);
    result = LogCommandStatus(result);
    LogCommandDone();
    return result;
}

}  // namespace vexal::command
