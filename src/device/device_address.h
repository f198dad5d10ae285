#pragma once
#include <cstdint>
#include <string>

#include <fmt/format.h>

namespace vexal::device {

// Where one device sits: host adapter (iSCSI portal or SCSI host), target ID, LUN.
struct DeviceAddress {
    uint8_t hostAdapter = 0;
    uint8_t target = 0;
    uint8_t lun = 0;

    friend bool operator==(const DeviceAddress&, const DeviceAddress&) = default;
    std::string text() const { return fmt::format("H:{} T:{} L:{}", hostAdapter, target, lun); }
};

}  // namespace vexal::device
