// VERIFY(6) of the virtual tape drive: reads blocks as READ does, without sending them,
// and with BYTCMP compares them with the data the initiator sends.
#include "device/virtual/virtual_tape_drive.h"

namespace vexal::device::virt {
namespace {

constexpr uint8_t kVerifying = 3;

}  // namespace

void VirtualTapeDrive::verify(Exchange& x) {
    // Byte 1: FIXED (bit 0), BYTCMP (1), IMMED (2); the protection bits are not offered.
    if (x.byte(1) & 0x38) return x.fail(invalidCdbField(1, 5));
    const bool fixed = x.bit(1, 0);
    const bool compare = x.bit(1, 1);
    const uint32_t length = x.be24(2);
    if (fixed && mode_.blockLength == 0) return x.fail(invalidCdbField(1, 0));
    if (length == 0) return;
    const uint32_t blocks = fixed ? length : 1;
    const uint32_t size = fixed ? mode_.blockLength : length;
    const uint64_t total = uint64_t{blocks} * size;
    if (compare && (!x.buffer || x.bufferLength < total))  // the data to compare did not come
        return x.fail(makeSense(sense_key::AbortedCommand, 0x4B, 0x00));
    if (compare) x.transferred = static_cast<uint32_t>(total);
    stateDirty_ = true;
    for (uint32_t done = 0; done < blocks; ++done) {
        // Fixed: blocks not verified, the failing one included; variable: the length asked.
        const int64_t residue = fixed ? int64_t{blocks} - done : int64_t{length};
        if (position_ >= medium_.objectCount())
            return x.fail(makeSense(sense_key::BlankCheck, 0x00, 0x05).withInformation(residue));
        const size_t at = position_++;
        if (medium_.isFilemark(at)) {
            log_.add(LogValue::FilemarksRead);
            return x.fail(filemarkDetected(residue));
        }
        if (mediumErrorAt(at)) {
            const Sense s = makeSense(sense_key::MediumError, 0x11, 0x00).withInformation(residue);
            noteError(s, at, kVerifying);
            return x.fail(s);
        }
        noteBlockRead(at, 0);
        const uint32_t actual = medium_.record(at).length;
        if (actual != size) return x.fail(incorrectLength(fixed ? residue : int64_t{length} - int64_t{actual}));
        if (compare && !medium_.blockEquals(at, x.buffer + uint64_t{done} * size, size))
            return x.fail(makeSense(sense_key::Miscompare, 0x1D, 0x00).withInformation(residue));
    }
}

}  // namespace vexal::device::virt
