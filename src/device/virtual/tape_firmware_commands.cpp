// Microcode download of the virtual tape drive (WRITE BUFFER modes 04h and 05h) and the
// restart that follows a saved image.
#include "device/virtual/virtual_tape_drive.h"

namespace vexal::device::virt {

void VirtualTapeDrive::downloadMicrocode(Exchange& x) {
    const uint32_t length = x.be24(6);
    std::string revision;
    Sense error;
    if (!firmware_.write(x.byte(1) & 0x1F, x.byte(2), x.be24(3), x.buffer, length, revision, error))
        return x.fail(error);
    x.transferred = length;
    if (revision.empty()) return;
    // The command ends GOOD; then the drive restarts running the new code, which the first
    // command after the restart hears about.
    setRevision(revision);
    raiseUnitAttention(0x3F, 0x01);  // MICROCODE HAS BEEN CHANGED
    std::string problem;
    if (!saveFirmwareRevision(profile().serial, revision, problem)) warnings_.add(problem);
}

bool VirtualTapeDrive::becomingReady() const {
    return VirtualDevice::becomingReady() || firmware_.becomingReady();
}

}  // namespace vexal::device::virt
