#include "device/virtual/virtual_disk.h"

#include <array>

namespace vexal::device::virt {

std::span<const VirtualDisk::Entry> VirtualDisk::commandTable() {
    using D = VirtualDisk;
    static const std::array<Entry, 3> table = {{
        {0x00, 0, &D::testUnitReady},
        {0x03, attr::AlwaysAnswers, &D::requestSense},
        {0x12, attr::AlwaysAnswers, &D::inquiry},
    }};
    return table;
}

}  // namespace vexal::device::virt
