// SEND DIAGNOSTIC and RECEIVE DIAGNOSTIC RESULTS of the virtual tape drive.
#include "device/virtual/virtual_tape_drive.h"

namespace vexal::device::virt {

void VirtualTapeDrive::sendDiagnostic(Exchange& x) {
    const uint32_t length = x.be16(3);
    if (length > 0 && (!x.buffer || x.bufferLength < length))
        return x.fail(makeSense(sense_key::AbortedCommand, 0x4B, 0x00));
    Sense error;
    if (!diagnostics_.send(x.byte(1), x.buffer, length, powerOnHours(), error)) return x.fail(error);
    x.transferred = length;
}

void VirtualTapeDrive::receiveDiagnosticResults(Exchange& x) {
    std::vector<uint8_t> data;
    Sense error;
    if (!diagnostics_.receive(x.bit(1, 0), x.byte(2), data, error)) return x.fail(error);
    x.sendData(data.data(), data.size(), x.be16(3));
}

}  // namespace vexal::device::virt
