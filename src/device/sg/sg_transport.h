#pragma once
// The Linux SCSI generic transport: request blocks carried out with SG_IO on /dev/sgN.
// Host adapters are the kernel's SCSI hosts (adapter N = hostN); the port scan below
// finds the devices and opens their nodes, and the transport keeps one record per
// device for as long as it lives.
#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "device/device_address.h"
#include "device/device_selector.h"
#include "device/sg/file_descriptor.h"
#include "device/sg/sg_status.h"
#include "device/sg/sg_sysfs.h"
#include "device/transport.h"

namespace vexal::device {

// Opens a node as open(2) does: a descriptor, or -1 with errno set. Tests replace it to
// see failures that root, whom file modes do not stop, never meets (EACCES).
using NodeOpener = std::function<int(const char* path, int flags)>;

struct SgScanOptions {
    std::filesystem::path sysfsRoot = "/sys";
    std::filesystem::path devRoot = "/dev";
    // Write "- - -" to every host's scan file first. Only when the user asks for a rescan:
    // it makes the kernel probe every host and re-attach devices deleted on purpose.
    bool rescan = false;
    NodeOpener open;  // empty: open(2)
    // Only the device this names (an address or a node, not an index): its sysfs entry is
    // read and only its node opened, however many devices the machine has. Empty: all.
    std::optional<DeviceSelector> only;
};

struct SgScanReport {
    int portCount = 0;
    int devices = 0;
    int unopenable = 0;                 // nodes found but not openable, e.g. EACCES
    int permissionDenied = 0;           // of those, the ones refused for lack of permission
    std::vector<std::string> problems;  // one clear sentence each, e.g. "/dev/sg3: Is a directory"
};

// One device found by the port scan.
struct SgDeviceRecord {
    std::string name;            // "sg3"
    std::filesystem::path node;  // "/dev/sg3"
    sg::Hctl hctl;               // the kernel's address, for display and debugging
    DeviceAddress address;       // the address the device library uses
    uint8_t peripheralType = 0x1F;
    std::string vendor;
    std::string model;
    sg::FileDescriptor fd;
    bool readOnly = false;       // opened O_RDONLY: the kernel refuses commands that may write
    std::atomic<uint32_t> timeoutSeconds{sg::kDefaultTimeoutSeconds};
    // The SG_IO in progress on this node and the thread waiting in it, so that another
    // thread can end the wait (Abandon); guarded by waitLock.
    std::mutex waitLock;
    RequestBlock* inFlight = nullptr;
    pthread_t waiter{};
    bool abandoned = false;
};

class SgTransport : public Transport {
public:
    SgTransport(std::filesystem::path sysfsRoot, std::vector<uint32_t> hosts, int portCount,
                std::vector<std::unique_ptr<SgDeviceRecord>> records);

    std::string_view name() const override { return "sg"; }
    int sendSrb(RequestBlock& srb) override;
    std::string nodeName(const DeviceAddress& address) const override;
    // The records are every device there is: an address without one is a gap, not the end.
    bool listsItsDevices() const override { return true; }

    int portCount() const { return portCount_; }
    const std::vector<std::unique_ptr<SgDeviceRecord>>& records() const { return records_; }
    // The first record at that address, searched from the head of the list; null if none.
    SgDeviceRecord* find(uint8_t port, uint8_t target, uint8_t lun) const;

private:
    void carryOut(RequestBlock& srb);
    void execute(SgDeviceRecord& record, RequestBlock& srb);
    // Ends the wait of the thread in SG_IO for `srb.toAbort` with a signal; the kernel
    // keeps the command until the device ends it or its time-out passes.
    void abandon(SgDeviceRecord& record, RequestBlock& srb);
    void rescanHost(RequestBlock& srb);

    std::filesystem::path sysfsRoot_;
    std::vector<uint32_t> hosts_;  // the hosts sysfs lists; the numbers between are gaps
    int portCount_;
    std::vector<std::unique_ptr<SgDeviceRecord>> records_;
};

// Writes "- - -" to a host's scan file so the kernel looks for new devices on it.
// Returns 0, or the errno of the failure.
int rescanScsiHost(const std::filesystem::path& sysfsRoot, uint32_t host);
// Rescans every SCSI host below the root; what went wrong as sentences in `problems` (one
// sentence for all the hosts when the kernel refuses a user who is not root).
void rescanScsiHosts(const std::filesystem::path& sysfsRoot, std::vector<std::string>& problems);

// The port scan: reads /sys/class/scsi_host (ports = SCSI hosts, host adapter number N of
// hostN) and /sys/class/scsi_generic/sgN/device (H:C:T:L from the link target name,
// peripheral type from .../device/type, vendor/model), opens /dev/sgN (O_RDWR|O_NONBLOCK,
// falling back to O_RDONLY), and with rescan writes "- - -" to
// /sys/class/scsi_host/hostN/scan first. With `only`, just that device is read and opened.
// Returns the transport holding the device records (or an empty transport when nothing was
// found). The port count is the highest host number + 1: host numbers have gaps, and a
// block to a gap answers "no device".
std::shared_ptr<Transport> makeSgTransport(const SgScanOptions& options, SgScanReport& report);

}  // namespace vexal::device
