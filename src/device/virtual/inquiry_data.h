#pragma once
// The INQUIRY data of the virtual devices: the standard data (96 bytes, the vendor block
// of bytes 36..55 for a tape drive) and the vital product data pages.
//
// VPD pages: 00h supported pages, 80h unit serial number, 83h device identification (a
// T10 vendor ID designator), C0h firmware build information, C1h drive family and
// configuration (only when the profile says page_c1 = yes).
#include <cstdint>
#include <vector>

#include "device/virtual/virtual_profile.h"

namespace vexal::device::virt {

// What page C1h reports about the drive's current configuration.
struct FamilyDetails {
    uint8_t partitions = 0;
    uint32_t capacityMib = 0;
    uint32_t maxBlockLength = 0;
    bool compression = false;
    bool loaded = false;
    bool writeProtected = false;
};

uint8_t peripheralType(DeviceKind kind);
std::vector<uint8_t> standardInquiry(const DeviceProfile& profile);
// False for a page the device does not have.
bool vpdPage(const DeviceProfile& profile, uint8_t page, const FamilyDetails& details, std::vector<uint8_t>& out);

}  // namespace vexal::device::virt
