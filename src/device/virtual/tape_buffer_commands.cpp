// READ BUFFER and WRITE BUFFER of the virtual tape drive.
#include "device/virtual/virtual_tape_drive.h"

namespace vexal::device::virt {

void VirtualTapeDrive::readBuffer(Exchange& x) {
    // Byte 1: the mode in bits 4-0; the bits above it are reserved.
    if (x.byte(1) & 0xE0) return x.fail(invalidCdbField(1, 7));
    const uint32_t allocation = x.be24(6);
    std::vector<uint8_t> data;
    Sense error;
    const uint8_t mode = x.byte(1) & 0x1F;
    if ((mode == 0x02 || mode == 0x03) && TapeStructureBuffers::holds(x.byte(2)))
        return readStructureBuffer(x, mode, allocation);
    // The FA dump buffers answer data (02h) and descriptor (03h) reads.
    const bool faDump = (mode == 0x02 || mode == 0x03) && faDump_.holds(x.byte(2));
    if (faDump ? !faDump_.read(mode, x.byte(2), x.be24(3), allocation, data, error)
               : !buffers_.read(mode, x.byte(2), x.be24(3), allocation, data, error))
        return x.fail(error);
    x.sendData(data.data(), data.size(), allocation);
}

void VirtualTapeDrive::writeBuffer(Exchange& x) {
    if (x.byte(1) & 0xE0) return x.fail(invalidCdbField(1, 7));
    const uint32_t length = x.be24(6);
    if (length > 0 && (!x.buffer || x.bufferLength < length))  // the data did not come
        return x.fail(makeSense(sense_key::AbortedCommand, 0x4B, 0x00));
    const uint8_t mode = x.byte(1) & 0x1F;
    if (mode == 0x04 || mode == 0x05) return downloadMicrocode(x);
    Sense error;
    if (!buffers_.write(x.byte(1) & 0x1F, x.byte(2), x.be24(3), x.buffer, length, error)) return x.fail(error);
    x.transferred = length;
}

}  // namespace vexal::device::virt
