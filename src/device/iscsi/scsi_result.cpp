#include "device/iscsi/scsi_result.h"

#include <algorithm>
#include <cstring>

#include "device/sense_format.h"

namespace vexal::device::iscsi {

size_t extractSense(std::span<const uint8_t> segment, uint8_t* out, size_t room) {
    if (segment.size() < 2 || !out) return 0;
    const size_t declared = (size_t{segment[0]} << 8) | segment[1];
    const size_t count = std::min({declared, segment.size() - 2, room});
    if (count > 0) std::memcpy(out, segment.data() + 2, count);
    return count;
}

bool decodeSense(std::span<const uint8_t> sense, SenseCode& code) {
    const SenseFields fields = parseSense(sense);
    // Too short to hold the sense key (fixed) or key, ASC and ASCQ (descriptor).
    const size_t needed = fields.format == SenseFields::Format::Descriptor ? 4 : 3;
    if (!fields.present() || sense.size() < needed) return false;
    code.key = fields.key;
    code.asc = fields.asc;
    code.ascq = fields.ascq;
    return true;
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
