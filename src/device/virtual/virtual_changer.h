#pragma once
// The virtual medium changer: it identifies itself and accepts INITIALIZE ELEMENT STATUS;
// it has no elements to move yet.
#include <span>

#include "device/virtual/virtual_device.h"

namespace vexal::device::virt {

class VirtualChanger : public TableDevice<VirtualChanger> {
public:
    using TableDevice::TableDevice;
    static std::span<const Entry> commandTable();

private:
    void initializeElementStatus(Exchange&) {}
};

}  // namespace vexal::device::virt
