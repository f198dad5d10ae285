#pragma once
// A device as a user names it: its index in the scan's list, its address H:T:L, or (SCSI
// generic) its node /dev/sgN. The last two name one device without a scan of the others.
#include <string>
#include <string_view>

#include "device/device_address.h"

namespace vexal::device {

struct DeviceSelector {
    enum class Kind { Index, Address, Node };
    Kind kind = Kind::Index;
    int index = 0;          // Kind::Index
    DeviceAddress address;  // Kind::Address
    std::string node;       // Kind::Node: the node's name, "sg3"

    // As the user would write it again: "2", "0:1:0", "/dev/sg3".
    std::string text() const;
};

// Parses "N", "H:T:L" (each 0..255) or a path to an sg node ("/dev/sg3"; a link to one is
// followed). False with one sentence in `error` for anything else.
bool parseDeviceSelector(std::string_view text, DeviceSelector& selector, std::string& error);

}  // namespace vexal::device
