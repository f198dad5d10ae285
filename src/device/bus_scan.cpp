#include "device/bus_scan.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <utility>

#include <fmt/format.h>

#include "device/device_library.h"
#include "device/drive_family.h"
#include "device/unit_serial.h"
#include "device/iscsi/iscsi_transport.h"
#include "device/sg/sg_transport.h"
#include "device/virtual/virtual_transport.h"
#include "platform/settings_store.h"

namespace vexal::device {
namespace {

using std::chrono::milliseconds;

std::string rtrim(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

std::shared_ptr<Transport> scanSgPorts(const ScanConfig& config, std::vector<std::string>& notes, int& found,
                                       int& denied) {
    SgScanOptions options;
    options.sysfsRoot = config.sysfsRoot;
    options.devRoot = config.devRoot;
    options.open = config.openNode;
    options.only = config.only;
    SgScanReport report;
    auto transport = makeSgTransport(options, report);
    for (const auto& problem : report.problems) notes.push_back(problem);
    found = report.devices;
    denied = report.permissionDenied;
    return transport;
}

// The node of an SCSI generic device at `address`; empty on other transports.
std::string sgNode(const DeviceAddress& address) {
    const auto* sg = dynamic_cast<const SgTransport*>(DevGetTransport().get());
    const SgDeviceRecord* record = sg ? sg->find(address.hostAdapter, address.target, address.lun) : nullptr;
    return record ? record->node.string() : std::string();
}

}  // namespace

std::string labeledSection(int index) { return fmt::format("Labeled Device {}", index); }
std::string selectedSection(int instance) { return fmt::format("Selected Device {}", instance); }

bool BusScanner::startTransport(const ScanConfig& config) {
    std::string error;
    switch (config.kind) {
    case TransportKind::Sg: {
        operator_.pace(milliseconds(3000));
        int found = 0;
        auto transport = scanSgPorts(config, notes_, found, permissionDenied_);
        DevSetTransport(transport);
        devices_.clear();
        DevEnumerate();
        // When the port scan found nothing, no device is taken.
        if (found == 0) DevFreeList();
        return true;
    }
    case TransportKind::Iscsi: {
        if (config.portals.empty()) {
            error = "No iSCSI portals are configured.  Add one with --portal HOST[:PORT] or the IscsiPortals setting.";
            break;
        }
        auto transport = makeIscsiTransport(config.portals, error);
        if (!transport) break;
        portalFailed_ = !error.empty();
        if (portalFailed_) notes_.push_back(error);  // a portal that did not answer
        DevSetTransport(transport);
        DevRescanBuses(false);
        if (transport->rescanNeedsSettling()) operator_.pace(milliseconds(10000));
        devices_.clear();
        DevEnumerate();
        return true;
    }
    case TransportKind::Virtual: {
        auto transport = makeVirtualTransport(config.virtualProfile, error);
        if (!transport) break;
        for (auto& warning : virtualTransportWarnings(*transport)) notes_.push_back(std::move(warning));
        for (const auto& console : virtualSerialConsoles(*transport))
            notes_.push_back("Serial console of the virtual device at target " + std::to_string(console.target) +
                             ": " + console.path);
        DevSetTransport(transport);
        devices_.clear();
        DevEnumerate();
        return true;
    }
    }
    transportFailed_ = true;
    notes_.push_back(error);
    operator_.progressEnd();
    // A transport that cannot start ends the scan: an error, not a warning.
    operator_.message(error, "Vexal", ui::Icon::Stop);
    return false;
}

void BusScanner::takeDevices() {
    int handle = -1;
    for (int rc = DevFirst(&handle, nullptr, nullptr); rc == 0; rc = DevNext(&handle, nullptr, nullptr)) {
        for (int step = 0; step < 10; ++step) {
            operator_.progressStep();
            operator_.pace(milliseconds(100));
        }
        // Clear pending unit attentions; the results do not matter.
        for (int i = 0; i < 3; ++i) DevTestUnitReady(handle);
        // The device's own serial number outranks the one the profile remembers by index.
        if (const auto serial = readUnitSerial(handle)) DevSetUnitSerial(handle, *serial);
        DeviceEntry entry;
        if (!BindDevice(handle, entry)) {
            // A handle the list reports is always bound; guard anyway.
            entry.index = handle;
        }
        devices_.push_back(entry);
    }
}

int BusScanner::ScanBuses(const ScanConfig& config) {
    notes_ = std::exchange(rescanNotes_, {});
    transportFailed_ = false;
    permissionDenied_ = 0;
    portalFailed_ = false;
    partial_ = config.kind == TransportKind::Sg && config.only.has_value();
    devices_.clear();
    operator_.progressBegin("Checking environment...", 0, 10);
    if (!startTransport(config)) return 0;
    takeDevices();

    const int count = deviceCount();
    if (count > 0) {
        operator_.progressSetRange(0, count);
        operator_.progressSetText(fmt::format("Devices found [{}]", count));
        if (count == 1) {
            operator_.progressSetPosition(0);
            operator_.pace(milliseconds(500));
            operator_.progressSetPosition(1);
            operator_.pace(milliseconds(1000));
        } else {
            for (int i = 1; i <= count; ++i) {
                operator_.progressSetPosition(i);
                operator_.progressSetText(fmt::format("Devices found [{}]", i));
                operator_.pace(milliseconds(1000));
            }
        }
        operator_.progressEnd();
    } else {
        operator_.progressEnd();
        // Devices that are there but refused to this user, or a device named that is not
        // there: the notes say which, and "no devices detected" would mislead.
        if (permissionDenied_ == 0 && !partial_) operator_.message(kNoDevicesMessage, "Vexal", ui::Icon::Exclamation);
    }
    return count;
}

void BusScanner::RescanBus(const ScanConfig& config) {
    operator_.progressBegin("Rescanning SCSI bus...", 0, 10);
    switch (config.kind) {
    case TransportKind::Sg: {
        // Twice, as the port scan was: devices that a first pass wakes may answer the second.
        std::vector<std::string> problems;
        rescanScsiHosts(config.sysfsRoot, problems);
        operator_.pace(milliseconds(5000));
        rescanScsiHosts(config.sysfsRoot, problems);
        for (auto& problem : problems)
            if (std::find(rescanNotes_.begin(), rescanNotes_.end(), problem) == rescanNotes_.end())
                rescanNotes_.push_back(std::move(problem));
        break;
    }
    case TransportKind::Iscsi:
        DevRescanBuses(false);
        DevRescanBuses(false);
        break;
    case TransportKind::Virtual:
        break;
    }
    operator_.progressEnd();
    DevFreeList();
    devices_.clear();
}

bool BusScanner::BindDevice(int index, DeviceEntry& entry) const {
    if (index < 0) return false;
    DeviceAddress address;
    if (DevGetAddress(index, &address.hostAdapter, &address.target, &address.lun) != 0) return false;
    const uint8_t* identity = nullptr;
    size_t length = 0;
    if (DevGetIdentity(index, &identity, &length) != 0) return false;
    entry.index = index;
    entry.address = address;
    entry.vendor = inquiryField(identity, length, 8, 8);
    entry.product = inquiryField(identity, length, 16, 16);
    entry.revision = inquiryField(identity, length, 32, 4);
    entry.peripheralType = length > 0 ? (identity[0] & 0x1F) : 0;
    entry.node = sgNode(address);
    // The profile's "Labeled Device N" belongs to device N of the full scan.
    entry.serialFromDevice = DevGetUnitSerial(index, entry.serialNumber) == 0;
    if (!entry.serialFromDevice)
        entry.serialNumber =
            partial_ ? kNoSerialNumber
                     : platform::ProfileStore::readString(labeledSection(index), "SerialNumber", kNoSerialNumber);
    entry.driveLabel = partial_ ? kNoDriveLabel
                                : platform::ProfileStore::readString(labeledSection(index), "DriveLabel", kNoDriveLabel);
    return true;
}

uint8_t BusScanner::DriveFamily(int index) const {
    uint8_t inquiry[56] = {};
    const bool inquiryOk = DevInquiry(index, inquiry, sizeof inquiry) == 0;
    if (!inquiryOk) return family::NoAnswer;
    uint8_t page[56] = {};
    const bool pageC1 = DevInquiryPageC1(index, page, sizeof page) == 0;
    return familyFromInquiry(inquiryOk, inquiry, sizeof inquiry, pageC1);
}

std::vector<std::string> deviceListRow(const DeviceEntry& e) {
    return {e.vendor,
            e.product,
            e.revision,
            e.serialNumber,
            std::to_string(e.address.hostAdapter),
            std::to_string(e.address.target),
            std::to_string(e.address.lun)};
}

std::vector<std::string> devicePaneRow(const DeviceEntry& e) {
    return {rtrim(e.product), std::to_string(e.address.hostAdapter), std::to_string(e.address.target),
            std::to_string(e.address.lun)};
}

}  // namespace vexal::device
