#pragma once
// The virtual disk: a device that is not a tape drive, for the scan to tell apart. It
// identifies itself and answers TEST UNIT READY.
#include <span>

#include "device/virtual/virtual_device.h"

namespace vexal::device::virt {

class VirtualDisk : public TableDevice<VirtualDisk> {
public:
    using TableDevice::TableDevice;
    static std::span<const Entry> commandTable();
};

}  // namespace vexal::device::virt
