// A script's repeated READ and WRITE. The script's CDB is sent as written, `count` times,
// with the script's own buffer:
// - WRITE sends the buffer with every command;
// - a read without comparison reads into the buffer (the last command's data stays there);
// - a read with comparison keeps the buffer as the expected data and compares every
//   command's data with it, stopping at the first difference; only the bytes the drive
//   sent count, and a block that came short differs where it ends.
// Variable-length commands move the CDB's transfer length in bytes; fixed-block commands
// move the whole buffer. A transfer that would not fit the buffer is refused.
#include <fmt/format.h>

#include <algorithm>
#include <vector>

#include "command/scsi_device.h"

namespace vexal::command {

ScsiResult CScsiDevice::ScriptTransfer(bool write, const CommandRequest& request, std::atomic<long>& counter,
                                       const std::atomic<int>& abort) {
    const LineRule rule = LineRule::EngineeringOnly;
    ScriptTransferResult discard;
    ScriptTransferResult& outcome = request.scriptResult ? *request.scriptResult : discard;
    outcome = ScriptTransferResult{};
    const std::vector<uint8_t>& cdb = request.cdb;
    const uint32_t length = request.transferLength & 0xFFFFFF;
    const uint32_t bytes = request.fixed ? request.scriptBufferSize : length;

    LogCommandSent();
    Line(write ? " Script Write" : (request.compare ? " Script Read Compare" : " Script Read"), rule);
    Line(fmt::format("  Block Type: {}", request.fixed ? "Fixed" : "Variable"), rule);
    Line(fmt::format("  Transfer Length: {}", length), rule);
    Line(fmt::format("  Requested Consecutive Command Count: {}", request.count), rule);
    LogRawCdb(cdb.data(), static_cast<int>(cdb.size()), rule);

    ScsiResult result = 0;
    if (cdb.empty() || request.scriptBuffer == nullptr || bytes == 0 || bytes > request.scriptBufferSize) {
        Line(fmt::format("  [Vexal_ERROR: a transfer of {} bytes does not fit the script's buffer of {} bytes]", bytes,
                         request.scriptBufferSize),
             LineRule::Always, 2);
        outcome.status = 3;
        result = 0xAAE0;
    } else {
        uint8_t* buffer = request.scriptBuffer;
        std::vector<uint8_t> scratch;
        if (!write && request.compare) scratch.resize(bytes);
        uint8_t* data = scratch.empty() ? buffer : scratch.data();
        for (long i = 0; i < request.count; ++i) {
            if (abort.load()) break;
            result = ExecuteCdb(cdb.data(), static_cast<int>(cdb.size()), data, bytes, write);
            if (result != 0) {
                outcome.status = 2;
                outcome.errorAt = static_cast<uint32_t>(i);
                break;
            }
            ++outcome.commands;
            ++counter;
            if (scratch.empty()) continue;
            // Only the bytes the drive sent are compared; a short block differs where it
            // ends (no byte was read there: readByte 0).
            const auto received = scratch.begin() + transferred();
            const auto [got, expected] = std::mismatch(scratch.begin(), received, buffer);
            if (got != scratch.end()) {
                outcome.status = 1;
                outcome.errorAt = static_cast<uint32_t>(i);
                outcome.address = static_cast<uint32_t>(got - scratch.begin());
                outcome.readByte = got == received ? 0 : *got;
                outcome.wroteByte = *expected;
                Line(fmt::format(" [Vexal_Compare_Error: Data Miscompare at offset {}]", outcome.address),
                     LineRule::Always, 2);
                break;
            }
        }
    }
    Line(fmt::format("  Completed Consecutive Command Count: {}", outcome.commands), rule);
    result = LogCommandStatus(result);
    LogCommandDone();
    return result;
}

}  // namespace vexal::command
