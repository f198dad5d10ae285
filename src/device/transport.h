#pragma once
// The one seam between the device library and a bus. A back end carries out request
// blocks; everything above (enumeration, execution, polling, abort, reset) is the same
// for every back end.
#include <memory>
#include <string>
#include <string_view>

#include "device/device_address.h"
#include "device/request_block.h"

namespace vexal::device {

class Transport {
public:
    virtual ~Transport() = default;

    // "sg", "iscsi" or "virtual".
    virtual std::string_view name() const = 0;

    // Carries out one request block. On return the block is either complete (status not
    // Pending) or pending, in which case the back end completes it later from another
    // thread and then sets `post` when the block asks for event notification.
    // Returns 0 when the block was accepted, -1 when the back end cannot be reached.
    virtual int sendSrb(RequestBlock& srb) = 0;

    // Whether the bus scan should pause after a rescan for devices to settle.
    virtual bool rescanNeedsSettling() const { return false; }

    // How messages name the device at `address` when a system call on it fails, e.g.
    // "/dev/sg3" or "/dev/sg3 (opened read-only)"; empty when there is no node to name.
    virtual std::string nodeName(const DeviceAddress& address) const {
        (void)address;
        return {};
    }

    // Whether the back end knows every device it has (it listed them), so that an address
    // without a device is a gap to step over rather than the end of a target's LUNs.
    virtual bool listsItsDevices() const { return false; }
};

enum class TransportKind { Sg, Iscsi, Virtual };

std::string_view transportKindName(TransportKind kind);
// Parses "sg", "iscsi" or "virtual"; false for anything else.
bool parseTransportKind(std::string_view text, TransportKind& kind);

}  // namespace vexal::device
