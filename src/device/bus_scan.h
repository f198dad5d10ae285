#pragma once
// The full bus scan: finds the devices on the chosen transport, builds the application's
// device array and names each device; rescans; binds device objects by index.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/operator.h"
#include "device/device_address.h"
#include "device/transport.h"

namespace vexal::device {

// One device of the array (the fields the scan fills).
struct DeviceEntry {
    int index = -1;
    DeviceAddress address;
    std::string vendor;    // "%.8s" of INQUIRY bytes 8..15
    std::string product;   // "%.16s" of bytes 16..31
    std::string revision;  // "%.4s" of bytes 32..35
    std::string serialNumber;
    std::string driveLabel;
    uint8_t peripheralType = 0;
};

// What to scan, from the settings and the command line.
struct ScanConfig {
    TransportKind kind = TransportKind::Sg;
    std::vector<std::string> portals;  // iSCSI "host[:port]"
    std::string virtualProfile;        // empty: the default virtual devices
    std::filesystem::path sysfsRoot = "/sys";
    std::filesystem::path devRoot = "/dev";
    // Opens sg nodes as open(2) does; empty: open(2). Tests inject refusals here.
    std::function<int(const char* path, int flags)> openNode;
};

inline constexpr const char* kNoDevicesMessage =
    "No SCSI devices have been detected.  Please inspect your system's SCSI cables and device terminators.  Also "
    "be sure you have installed the latest device driver for your tape product.  If you feel you received this "
    "message by error try rescanning the SCSI bus.  You may need to close and restart the application.";

class BusScanner {
public:
    explicit BusScanner(app::Operator& op) : operator_(op) {}

    // The full scan; returns the number of devices found.
    int ScanBuses(const ScanConfig& config);
    // Rescan in the current transport, then free the device array.
    void RescanBus(const ScanConfig& config);
    // Fills `entry` from the library and the profile; false when `index` is unknown.
    bool BindDevice(int index, DeviceEntry& entry) const;
    // The drive family code of device `index` (INQUIRY and page C1h sent now).
    uint8_t DriveFamily(int index) const;

    int deviceCount() const { return static_cast<int>(devices_.size()); }
    const std::vector<DeviceEntry>& devices() const { return devices_; }
    // Problems met on the way (devices that could not be opened, a transport that could
    // not start), one sentence each, for a terminal to print.
    const std::vector<std::string>& notes() const { return notes_; }
    // Set when the transport itself could not be started.
    bool transportFailed() const { return transportFailed_; }
    // Devices that exist but could not be opened for lack of permission (SCSI generic).
    int permissionDenied() const { return permissionDenied_; }

private:
    bool startTransport(const ScanConfig& config);
    void takeDevices();

    app::Operator& operator_;
    std::vector<DeviceEntry> devices_;
    std::vector<std::string> notes_;
    bool transportFailed_ = false;
    int permissionDenied_ = 0;
};

// "Labeled Device N" and "Selected Device N" sections of the framework profile.
std::string labeledSection(int index);
std::string selectedSection(int instance);

// The seven columns of the device list, and the four of the main window's device pane.
std::vector<std::string> deviceListRow(const DeviceEntry& entry);
std::vector<std::string> devicePaneRow(const DeviceEntry& entry);

}  // namespace vexal::device
