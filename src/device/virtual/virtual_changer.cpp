#include "device/virtual/virtual_changer.h"

#include <array>

namespace vexal::device::virt {

std::span<const VirtualChanger::Entry> VirtualChanger::commandTable() {
    using D = VirtualChanger;
    static const std::array<Entry, 4> table = {{
        {0x00, 0, &D::testUnitReady},
        {0x03, attr::AlwaysAnswers, &D::requestSense},
        {0x07, 0, &D::initializeElementStatus},
        {0x12, attr::AlwaysAnswers, &D::inquiry},
    }};
    return table;
}

}  // namespace vexal::device::virt
