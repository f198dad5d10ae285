#pragma once
// Reading what an iSCSI target returned: sense bytes and the answers that mean "no
// logical unit here". Every length comes from the peer and is checked.
#include <cstddef>
#include <cstdint>
#include <span>

namespace vexal::device::iscsi {

// The sense data of a SCSI Response PDU's data segment: a two-byte big-endian length,
// then the sense bytes. Copies at most `room` of them into `out`; returns how many.
size_t extractSense(std::span<const uint8_t> segment, uint8_t* out, size_t room);

struct SenseCode {
    uint8_t key = 0;
    uint8_t asc = 0;
    uint8_t ascq = 0;
};
// Key, ASC and ASCQ of fixed (70h/71h) or descriptor (72h/73h) sense; false when the
// bytes are too short or of another format.
bool decodeSense(std::span<const uint8_t> sense, SenseCode& code);

// ILLEGAL REQUEST, LOGICAL UNIT NOT SUPPORTED (5/25/00).
bool isLunNotSupported(std::span<const uint8_t> sense);

// Standard INQUIRY data whose peripheral qualifier is 011b: no device can be attached
// at this LUN.
bool isQualifierAbsent(std::span<const uint8_t> inquiry);

// A standard INQUIRY CDB (not a vital product data page).
bool isStandardInquiry(const uint8_t* cdb, size_t length);

}  // namespace vexal::device::iscsi
