#include "device/iscsi/scsi_result.h"

#include <algorithm>
#include <cstring>

namespace vexal::device::iscsi {

size_t extractSense(std::span<const uint8_t> segment, uint8_t* out, size_t room) {
    if (segment.size() < 2 || !out) return 0;
    const size_t declared = (size_t{segment[0]} << 8) | segment[1];
    const size_t count = std::min({declared, segment.size() - 2, room});
    if (count > 0) std::memcpy(out, segment.data() + 2, count);
    return count;
}

bool decodeSense(std::span<const uint8_t> sense, SenseCode& code) {
    if (sense.empty()) return false;
    switch (sense[0] & 0x7F) {
    case 0x70:
    case 0x71:
        if (sense.size() < 3) return false;
        code.key = sense[2] & 0x0F;
        // Additional length (byte 7) tells whether ASC/ASCQ are present at all.
        code.asc = sense.size() > 12 && sense[7] >= 5 ? sense[12] : 0;
        code.ascq = sense.size() > 13 && sense[7] >= 6 ? sense[13] : 0;
        return true;
    case 0x72:
    case 0x73:
        if (sense.size() < 4) return false;
        code.key = sense[1] & 0x0F;
        code.asc = sense[2];
        code.ascq = sense[3];
        return true;
    default:
        return false;
    }
}

bool isLunNotSupported(std::span<const uint8_t> sense) {
    SenseCode code;
    return decodeSense(sense, code) && code.key == 0x05 && code.asc == 0x25 && code.ascq == 0x00;
}

bool isQualifierAbsent(std::span<const uint8_t> inquiry) {
    return !inquiry.empty() && (inquiry[0] & 0xE0) == 0x60;
}

bool isStandardInquiry(const uint8_t* cdb, size_t length) {
    return cdb && length >= 6 && cdb[0] == 0x12 && (cdb[1] & 0x01) == 0;
}

}  // namespace vexal::device::iscsi
