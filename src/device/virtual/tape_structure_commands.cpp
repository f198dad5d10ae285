// READ BUFFER of the tape structures and the trace memory that records every command.
#include "device/virtual/virtual_tape_drive.h"

namespace vexal::device::virt {

void VirtualTapeDrive::run(uint8_t opcode, Exchange& x) {
    TableDevice::run(opcode, x);
    structures_.noteCommand(x);
}

void VirtualTapeDrive::readStructureBuffer(Exchange& x, uint8_t mode, uint32_t allocation) {
    std::vector<uint8_t> data;
    Sense error;
    const TapeStructureBuffers::Tape tape{medium_, position_, loaded_, profile().mediumErrorAt};
    if (!structures_.read(mode, x.byte(2), x.be24(3), allocation, tape, data, error)) return x.fail(error);
    x.sendData(data.data(), data.size(), allocation);
}

}  // namespace vexal::device::virt
