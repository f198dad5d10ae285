// READ(6), WRITE(6), WRITE FILEMARKS(6) and ERASE of the virtual tape drive.
#include "device/virtual/virtual_tape_drive.h"

namespace vexal::device::virt {
namespace {

Sense writeProtectedSense() { return makeSense(sense_key::DataProtect, 0x27, 0x00); }

constexpr uint8_t kReading = 1, kWriting = 2;

}  // namespace

bool VirtualTapeDrive::mediumErrorAt(size_t position) const {
    return profile().mediumErrorAt && *profile().mediumErrorAt == position;
}

void VirtualTapeDrive::read6(Exchange& x) {
    const bool fixed = x.bit(1, 0);
    const bool sili = x.bit(1, 1);
    const uint32_t length = x.be24(2);
    if (fixed && sili) return x.fail(invalidCdbField(1, 1));
    if (fixed && mode_.blockLength == 0) return x.fail(invalidCdbField(1, 0));
    if (length == 0) return;
    stateDirty_ = true;
    if (fixed) readFixed(x, length);
    else readVariable(x, length, sili);
}

void VirtualTapeDrive::readVariable(Exchange& x, uint32_t length, bool sili) {
    if (position_ >= medium_.objectCount()) return x.fail(endOfData(length));
    const size_t at = position_++;
    if (medium_.isFilemark(at)) {
        log_.add(LogValue::FilemarksRead);
        return x.fail(filemarkDetected(length));
    }
    if (mediumErrorAt(at)) {
        const Sense s = makeSense(sense_key::MediumError, 0x11, 0x00).withInformation(length);
        noteError(s, at, kReading);
        return x.fail(s);
    }
    const uint32_t actual = medium_.record(at).length;
    x.transferred = static_cast<uint32_t>(medium_.readBlock(at, x.buffer, std::min<size_t>(length, x.roomAt(0))));
    noteBlockRead(at, x.transferred);
    if (actual == length) return;
    // SILI hides a short block always, a long one only in variable-block mode.
    if (sili && (actual < length || mode_.blockLength == 0)) return;
    Sense s = makeSense(sense_key::NoSense, 0x00, 0x00);
    s.ili = true;
    x.fail(s.withInformation(int64_t{length} - int64_t{actual}));
}

void VirtualTapeDrive::readFixed(Exchange& x, uint32_t count) {
    const uint32_t size = mode_.blockLength;
    for (uint32_t done = 0; done < count; ++done) {
        const int64_t residue = int64_t{count} - done;
        if (position_ >= medium_.objectCount()) return x.fail(endOfData(residue));
        const size_t at = position_++;
        if (medium_.isFilemark(at)) {
            log_.add(LogValue::FilemarksRead);
            return x.fail(filemarkDetected(residue));
        }
        if (mediumErrorAt(at)) {
            const Sense s = makeSense(sense_key::MediumError, 0x11, 0x00).withInformation(residue);
            noteError(s, at, kReading);
            return x.fail(s);
        }
        if (medium_.record(at).length != size) {
            noteBlockRead(at, 0);
            return x.fail(incorrectLength(residue));
        }
        const uint64_t offset = uint64_t{done} * size;
        const size_t copied = medium_.readBlock(at, x.buffer ? x.buffer + std::min<uint64_t>(offset, x.bufferLength) : nullptr,
                                                x.roomAt(offset));
        x.transferred += static_cast<uint32_t>(copied);
        noteBlockRead(at, static_cast<uint32_t>(copied));
    }
}

void VirtualTapeDrive::write6(Exchange& x) {
    const bool fixed = x.bit(1, 0);
    const uint32_t length = x.be24(2);
    if (fixed && mode_.blockLength == 0) return x.fail(invalidCdbField(1, 0));
    if (writeProtected()) {
        noteWriteProtected();
        return x.fail(writeProtectedSense());
    }
    if (length == 0) return;
    const uint32_t blocks = fixed ? length : 1;
    const uint32_t size = fixed ? mode_.blockLength : length;
    const uint64_t total = uint64_t{blocks} * size;
    if (!x.buffer || x.bufferLength < total)  // the initiator did not send the data the CDB announced
        return x.fail(makeSense(sense_key::AbortedCommand, 0x4B, 0x00));
    contentDirty_ = true;
    for (uint32_t done = 0; done < blocks; ++done) {
        const int64_t residue = fixed ? int64_t{blocks} - done : int64_t{size};
        if (mediumErrorAt(position_)) {
            medium_.truncate(position_);
            const Sense s = makeSense(sense_key::MediumError, 0x0C, 0x00).withInformation(residue);
            noteError(s, position_, kWriting);
            return x.fail(s);
        }
        if (medium_.bytesBefore(position_) + size > medium_.capacity()) {
            medium_.truncate(position_);
            return x.fail(volumeOverflow(residue));
        }
        const uint8_t* block = x.buffer + uint64_t{done} * size;
        if (!medium_.writeBlock(position_, block, size, mode_.compression)) {  // out of memory
            const Sense s = makeSense(sense_key::HardwareError, 0x44, 0x00).withInformation(residue);
            noteError(s, position_, kWriting);
            return x.fail(s);
        }
        noteBlockWritten(block, size);
        ++position_;
        x.transferred += size;
    }
    if (medium_.inEarlyWarning(medium_.bytesBefore(position_))) x.fail(earlyWarning(0));
}

void VirtualTapeDrive::writeFilemarks(Exchange& x) {
    if (x.bit(1, 1)) return x.fail(invalidCdbField(1, 1));  // setmarks
    if (writeProtected()) {
        noteWriteProtected();
        return x.fail(writeProtectedSense());
    }
    const uint32_t count = x.be24(2);
    if (count > 0) {
        contentDirty_ = true;
        if (!medium_.writeFilemarks(position_, count))  // out of memory
            return x.fail(makeSense(sense_key::HardwareError, 0x44, 0x00).withInformation(count));
        position_ += count;
        log_.add(LogValue::FilemarksWritten, count);
    }
    persist();  // also the flush that a count of 0 asks for
    if (count > 0 && medium_.inEarlyWarning(medium_.bytesBefore(position_))) x.fail(earlyWarning(0));
}

void VirtualTapeDrive::erase(Exchange& x) {
    if (writeProtected()) {
        noteWriteProtected();
        return x.fail(writeProtectedSense());
    }
    // Short and long erase both leave end-of-data at the current position; a long erase
    // of a virtual tape takes no longer.
    if (position_ < medium_.objectCount()) {
        medium_.truncate(position_);
        contentDirty_ = true;
    }
    persist();
}

}  // namespace vexal::device::virt
