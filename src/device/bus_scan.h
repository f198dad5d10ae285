#pragma once
// The full bus scan: finds the devices on the chosen transport, builds the application's
// device array and names each device; rescans; binds device objects by index.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "operator/operator.h"
#include "device/device_address.h"
#include "device/device_selector.h"
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
    bool serialFromDevice = false;  // VPD page 80h answered; else the profile's value
    std::string driveLabel;
    uint8_t peripheralType = 0;
    std::string node;  // SCSI generic: the device's node, "/dev/sg3"; empty elsewhere
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
    // SCSI generic: only the device this names (an address or a node) is read and opened,
    // so one command on a machine with hundreds of LUNs stays fast. Its list then holds
    // that device alone, as device 0.
    std::optional<DeviceSelector> only;
};

// What the profile holds for a device nobody has named yet.
inline constexpr const char* kNoSerialNumber = "          ";
inline constexpr const char* kNoDriveLabel = "no_label";

inline constexpr const char* kNoDevicesMessage =
    "No SCSI devices have been detected.  Please inspect your system's SCSI cables and device terminators.  Also "
    "be sure you have installed the latest device driver for your tape product.  If you feel you received this "
    "message by error try rescanning the SCSI bus.  You may need to close and restart the application.";

class BusScanner {
public:
    explicit BusScanner(ui::Operator& op) : operator_(op) {}

    // The full scan (or the one device of `config.only`); returns the number of devices
    // found. Reads each device's serial number from VPD page 80h. Does not rescan.
    int ScanBuses(const ScanConfig& config);
    // Rescan in the current transport (the kernel probes every SCSI host again), then free
    // the device array. Only when the user asks for it; what went wrong is in the next
    // scan's notes.
    void RescanBus(const ScanConfig& config);
    // Fills `entry` from the library and the profile; false when `index` is unknown. The
    // serial number is the device's own (VPD page 80h) when it gave one, else the profile's.
    // A partial list leaves the profile alone: its indices are not the full scan's.
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
    // iSCSI portals of the last scan that could not be reached or refused the login.
    bool portalFailed() const { return portalFailed_; }
    // The last scan looked for one named device only (ScanConfig::only).
    bool partial() const { return partial_; }

private:
    bool startTransport(const ScanConfig& config);
    void takeDevices();

    ui::Operator& operator_;
    std::vector<DeviceEntry> devices_;
    std::vector<std::string> notes_;
    std::vector<std::string> rescanNotes_;  // from RescanBus, for the scan that follows
    bool transportFailed_ = false;
    int permissionDenied_ = 0;
    bool portalFailed_ = false;
    bool partial_ = false;
};

// "Labeled Device N" and "Selected Device N" sections of the framework profile.
std::string labeledSection(int index);
std::string selectedSection(int instance);

// The seven columns of the device list, and the four of the main window's device pane.
std::vector<std::string> deviceListRow(const DeviceEntry& entry);
std::vector<std::string> devicePaneRow(const DeviceEntry& entry);

}  // namespace vexal::device
