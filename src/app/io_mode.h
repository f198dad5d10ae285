#pragma once
// The I/O-mode commands: "Use SCSI generic (SG_IO) mode", "Use iSCSI mode", "Use virtual
// drives". The choice is kept in the Transport setting and the buses are scanned anew.
#include "operator/operator.h"
#include "device/bus_scan.h"
#include "device/device_selection.h"

namespace vexal::app {

inline constexpr const char* kSwitchIoModeQuestion =
    "Switching I/O modes will cause the application to rescan the SCSI bus.  Are you sure you want to do this?";

// Nothing happens when `to` is already in use or the operator declines; returns true when
// the transport was switched and the buses rescanned.
bool SwitchTransport(device::TransportKind to, device::ScanConfig& config, device::BusScanner& scanner,
                     device::ActiveDevice& active, int instance, ui::Operator& op);

}  // namespace vexal::app
