#include "device/data_in_count.h"

#include <algorithm>

#include "device/request_block.h"
#include "device/sense_format.h"

namespace vexal::device {
namespace {

// The stream commands that read blocks from the medium and report a short or stopped
// transfer with ILI, FILEMARK or EOM and the residue in INFORMATION. All carry FIXED in
// byte 1 bit 0 and a 24-bit transfer length (blocks when FIXED, else bytes).
struct ReadCommand {
    uint8_t opcode;
    uint8_t cdbLength;
    uint8_t lengthOffset;
};

constexpr ReadCommand kReadCommands[] = {
    {0x08, 6, 2},    // READ(6)
    {0x0F, 6, 2},    // READ REVERSE(6)
    {0x14, 6, 2},    // RECOVER BUFFERED DATA
    {0x81, 16, 12},  // READ REVERSE(16)
    {0x88, 16, 12},  // READ(16)
};

const ReadCommand* readCommand(std::span<const uint8_t> cdb) {
    if (cdb.empty()) return nullptr;
    for (const ReadCommand& c : kReadCommands)
        if (c.opcode == cdb[0]) return cdb.size() >= c.cdbLength ? &c : nullptr;
    return nullptr;
}

uint64_t bigEndian(std::span<const uint8_t> bytes) {
    uint64_t v = 0;
    for (uint8_t b : bytes) v = (v << 8) | b;
    return v;
}

// Bytes a READ that ended in CHECK CONDITION delivered, from the residue in its sense.
uint32_t readDelivered(const ReadCommand& c, std::span<const uint8_t> cdb, uint32_t bufferLength,
                       std::span<const uint8_t> sense) {
    const SenseFields s = parseSense(sense);
    if (!s.present() || !s.informationValid || !(s.ili || s.filemark || s.eom)) return 0;
    const int64_t residue = s.signedInformation();
    const int64_t requested = static_cast<int64_t>(bigEndian(cdb.subspan(c.lengthOffset, 3)));
    const bool fixed = cdb[1] & 0x01;
    if (residue > requested) return 0;
    int64_t bytes = 0;
    if (fixed) {
        // Residue in blocks; the block size is what the caller gave room for per block.
        if (requested == 0 || residue < 0) return 0;
        bytes = (requested - residue) * (bufferLength / requested);
    } else {
        // A negative residue is a block longer than asked for: the requested length came.
        bytes = residue < 0 ? requested : requested - residue;
    }
    return static_cast<uint32_t>(std::clamp<int64_t>(bytes, 0, bufferLength));
}

}  // namespace

uint32_t knownTransferred(const CommandEnd& end) {
    const uint32_t sent = end.bufferLength - std::min(end.residual, end.bufferLength);
    const bool good = end.targetStatus == target_status::Good || end.targetStatus == target_status::ConditionMet;
    if (end.srbStatus == srb_status::Complete && good) return sent;
    if (end.srbStatus != srb_status::Error || end.hostAdapterStatus != ha_status::Ok ||
        end.targetStatus != target_status::CheckCondition)
        return 0;
    const ReadCommand* read = readCommand(end.cdb);
    if (!read) return 0;
    return std::min(sent, readDelivered(*read, end.cdb, end.bufferLength, end.sense));
}

}  // namespace vexal::device
