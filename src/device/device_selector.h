#pragma once
// A device as a user names it: its index in the scan's list, its address H:T:L, the
// kernel's H:C:T:L (as lsscsi shows it), or (SCSI generic) its node /dev/sgN. All but the
// index name one device without a scan of the others.
#include <string>
#include <string_view>

#include "device/device_address.h"

namespace vexal::device {

// The kernel's address of a SCSI device.
struct KernelAddress {
    uint32_t host = 0;
    uint32_t channel = 0;
    uint32_t target = 0;
    uint64_t lun = 0;
    friend bool operator==(const KernelAddress&, const KernelAddress&) = default;
};

struct DeviceSelector {
    enum class Kind { Index, Address, Node, Kernel };
    Kind kind = Kind::Index;
    int index = 0;          // Kind::Index
    DeviceAddress address;  // Kind::Address
    std::string node;       // Kind::Node: the node's name, "sg3"
    KernelAddress kernel;   // Kind::Kernel

    // As the user would write it again: "2", "0:1:0", "/dev/sg3", "0:0:2:0".
    std::string text() const;
    // H:C:T:L on channel 0 with the parts in H:T:L's ranges is that H:T:L on every
    // transport (SCSI generic keeps such a device's target); true and `address` set then.
    bool plainAddress(DeviceAddress& address) const;
};

// Parses "N", "H:T:L" (each 0..255), "H:C:T:L" (decimal) or a path to an sg node
// ("/dev/sg3"; a link to one is followed). False with one sentence in `error`, which shows
// the forms, for anything else.
bool parseDeviceSelector(std::string_view text, DeviceSelector& selector, std::string& error);

}  // namespace vexal::device
