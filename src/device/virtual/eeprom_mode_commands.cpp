// MODE SENSE and MODE SELECT of the EEPROM parameter page (3Eh) of the virtual tape drive.
#include "device/virtual/virtual_tape_drive.h"

namespace vexal::device::virt {

bool VirtualTapeDrive::selectsEepromPage(bool tenByte, const uint8_t* data, size_t length) {
    const size_t headerSize = tenByte ? 8 : 4;
    if (!data || length < headerSize) return false;
    const size_t pageAt = headerSize + (tenByte ? getBe16(&data[6]) : data[3]);
    return pageAt < length && (data[pageAt] & 0x3F) == DriveEeprom::kPageCode;
}

void VirtualTapeDrive::eepromModeSense(Exchange& x) {
    ModeSenseRequest request;
    request.tenByte = x.opcode() == 0x5A;
    request.disableBlockDescriptors = x.bit(1, 3);
    request.control = static_cast<PageControl>(x.byte(2) >> 6);
    request.page = 0x00;  // the header and block descriptor; the page follows
    request.subpage = x.byte(3);
    std::vector<uint8_t> data;
    Sense error;
    if (!buildModeSense(request, mode_, loaded_ && writeProtected(), data, error)) return x.fail(error);
    if (loaded_) data[request.tenByte ? 2 : 1] = ModeParameters::kMediumType;
    const std::vector<uint8_t> page = eeprom_.page(request.control == PageControl::Default);
    data.insert(data.end(), page.begin(), page.end());
    if (request.tenByte) {
        putBe16(&data[0], static_cast<uint32_t>(data.size() - 2));
    } else {
        if (data.size() - 1 > 0xFF) return x.fail(invalidCdbField(2));  // only MODE SENSE(10) can hold it
        data[0] = static_cast<uint8_t>(data.size() - 1);
    }
    x.sendData(data.data(), data.size(), request.tenByte ? x.be16(7) : x.byte(4));
}

void VirtualTapeDrive::eepromModeSelect(Exchange& x, bool tenByte, uint32_t length) {
    const size_t headerSize = tenByte ? 8 : 4;
    const size_t pageAt = headerSize + (tenByte ? getBe16(&x.buffer[6]) : x.buffer[3]);
    // The header and block descriptor as in any MODE SELECT; nothing changes unless the
    // page is accepted too.
    ModeParameters next = mode_;
    Sense error;
    if (!applyModeSelect(tenByte, x.buffer, pageAt, next, error)) return x.fail(error);
    if (!eeprom_.select(x.buffer, length, pageAt, error)) return x.fail(error);
    mode_ = next;
    x.transferred = length;
    stateDirty_ = true;
    std::string saveError;
    if (eeprom_.save(eepromFile_, saveError)) eeprom_.markSaved();
    else warnings_.add(saveError);
}

void VirtualTapeDrive::setUpEeprom(WarningLog& warnings) {
    eepromFile_ = driveEepromPath(profile().serial);
    std::string error;
    if (!eeprom_.load(eepromFile_, error)) warnings.add(error);
}

}  // namespace vexal::device::virt
