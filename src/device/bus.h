#pragma once
// Enumeration over a transport: every adapter at targets 0 to 15, LUNs upward from 0
// until the first one that does not answer INQUIRY (on a transport that lists its devices,
// every LUN up to 255: there a missing LUN is a gap).
#include <memory>

#include "device/transport.h"
#include "device/transport_device.h"

namespace vexal::device {

class Bus {
public:
    explicit Bus(std::shared_ptr<Transport> transport) : transport_(std::move(transport)) {}

    // Clears the position and reads the adapter count; false when the transport fails.
    bool BeginEnumeration();
    // The next device that answers, with `handle` as its handle; null at the end.
    std::unique_ptr<TransportDevice> NextDevice(int handle);
    // Sends a rescan to every adapter; with `settle`, pauses for the devices to appear.
    void RescanBuses(bool settle);

    int adapterCount() const { return adapterCount_; }

private:
    int readAdapterCount();

    std::shared_ptr<Transport> transport_;
    int adapterCount_ = 0;
    int adapter_ = 0;
    int target_ = 0;
    int lun_ = 0;
};

}  // namespace vexal::device
