#include "device/data_in_count.h"

#include <algorithm>

#include "device/request_block.h"

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

bool readFixed(std::span<const uint8_t> s, StreamSense& out) {
    if (s.size() < 3) return false;
    out.filemark = s[2] & 0x80;
    out.eom = s[2] & 0x40;
    out.ili = s[2] & 0x20;
    // INFORMATION is a 32-bit two's complement number (a residue may be negative).
    out.valid = (s[0] & 0x80) && s.size() >= 7;
    if (out.valid) out.information = static_cast<int32_t>(static_cast<uint32_t>(bigEndian(s.subspan(3, 4))));
    return true;
}

bool readDescriptors(std::span<const uint8_t> s, StreamSense& out) {
    if (s.size() < 8) return s.size() >= 4;  // key and ASC/ASCQ only: no descriptors
    const size_t end = std::min<size_t>(s.size(), size_t{8} + s[7]);
    for (size_t at = 8; at + 2 <= end;) {
        const uint8_t type = s[at];
        const size_t length = size_t{2} + s[at + 1];
        if (at + length > end) break;
        const auto d = s.subspan(at, length);
        if (type == 0x00 && d.size() >= 12) {  // information
            out.valid = d[2] & 0x80;
            out.information = static_cast<int64_t>(bigEndian(d.subspan(4, 8)));
        } else if (type == 0x04 && d.size() >= 4) {  // stream commands
            out.filemark = d[3] & 0x80;
            out.eom = d[3] & 0x40;
            out.ili = d[3] & 0x20;
        }
        at += length;
    }
    return true;
}

// Bytes a READ that ended in CHECK CONDITION delivered, from the residue in its sense.
uint32_t readDelivered(const ReadCommand& c, std::span<const uint8_t> cdb, uint32_t bufferLength,
                       std::span<const uint8_t> sense) {
    StreamSense s;
    if (!readStreamSense(sense, s) || !s.valid || !(s.ili || s.filemark || s.eom)) return 0;
    const int64_t requested = static_cast<int64_t>(bigEndian(cdb.subspan(c.lengthOffset, 3)));
    const bool fixed = cdb[1] & 0x01;
    if (s.information > requested) return 0;
    int64_t bytes = 0;
    if (fixed) {
        // Residue in blocks; the block size is what the caller gave room for per block.
        if (requested == 0 || s.information < 0) return 0;
        bytes = (requested - s.information) * (bufferLength / requested);
    } else {
        // A negative residue is a block longer than asked for: the requested length came.
        bytes = s.information < 0 ? requested : requested - s.information;
    }
    return static_cast<uint32_t>(std::clamp<int64_t>(bytes, 0, bufferLength));
}

}  // namespace

bool readStreamSense(std::span<const uint8_t> sense, StreamSense& out) {
    out = StreamSense{};
    if (sense.empty()) return false;
    switch (sense[0] & 0x7F) {
    case 0x70:
    case 0x71: return readFixed(sense, out);
    case 0x72:
    case 0x73: return readDescriptors(sense, out);
    default: return false;
    }
}

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
