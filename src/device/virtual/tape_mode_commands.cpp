// MODE SENSE(6)/(10), MODE SELECT(6)/(10) and READ BLOCK LIMITS of the virtual tape drive.
#include "device/virtual/virtual_tape_drive.h"

namespace vexal::device::virt {

void VirtualTapeDrive::modeSense(Exchange& x) {
    if ((x.byte(2) & 0x3F) == DriveEeprom::kPageCode) return eepromModeSense(x);
    ModeSenseRequest request;
    request.tenByte = x.opcode() == 0x5A;
    request.disableBlockDescriptors = x.bit(1, 3);
    request.control = static_cast<PageControl>(x.byte(2) >> 6);
    request.page = x.byte(2) & 0x3F;
    request.subpage = x.byte(3);
    std::vector<uint8_t> data;
    Sense error;
    if (!buildModeSense(request, mode_, loaded_ && writeProtected(), data, error)) return x.fail(error);
    if (loaded_) data[request.tenByte ? 2 : 1] = ModeParameters::kMediumType;
    x.sendData(data.data(), data.size(), request.tenByte ? x.be16(7) : x.byte(4));
}

void VirtualTapeDrive::modeSelect(Exchange& x) {
    const bool tenByte = x.opcode() == 0x55;
    if (x.bit(1, 0)) return x.fail(invalidCdbField(1, 0));  // saving pages is not offered
    const uint32_t length = tenByte ? x.be16(7) : x.byte(4);
    if (length > 0 && (!x.buffer || x.bufferLength < length))
        return x.fail(makeSense(sense_key::AbortedCommand, 0x4B, 0x00));
    if (selectsEepromPage(tenByte, x.buffer, length)) return eepromModeSelect(x, tenByte, length);
    Sense error;
    if (!applyModeSelect(tenByte, x.buffer, length, mode_, error)) return x.fail(error);
    x.transferred = length;
    stateDirty_ = true;
}

void VirtualTapeDrive::readBlockLimits(Exchange& x) {
    if (x.bit(1, 0)) return x.fail(invalidCdbField(1, 0));  // maximum logical object identifier form
    uint8_t data[6] = {0};
    putBe24(&data[1], TapeMedium::kMaxBlockLength);
    putBe16(&data[4], 1);
    x.sendData(data, sizeof data, sizeof data);
}

}  // namespace vexal::device::virt
