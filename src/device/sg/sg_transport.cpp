#include "device/sg/sg_transport.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <string_view>
#include <chrono>
#include <mutex>
#include <system_error>
#include <thread>

#include <fmt/format.h>

#include "device/sg/sg_address_map.h"
#include "device/sg/sg_permission.h"
#include "platform/event.h"

namespace vexal::device {

namespace fs = std::filesystem;

namespace {

std::string errnoText(int error) { return std::error_code(error, std::generic_category()).message(); }

void finish(RequestBlock& srb, uint8_t status) { srb.status.store(status); }

// Opens an sg node read-write, else read-only (enough for SG_IO of commands that only
// read). A folder is not a device node even where opening it succeeds.
sg::FileDescriptor openNode(const NodeOpener& opener, const fs::path& node, int& error, bool& readOnly) {
    const auto open = [&opener](const char* path, int flags) { return opener ? opener(path, flags) : ::open(path, flags); };
    int fd = open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    readOnly = fd < 0;
    if (fd < 0) fd = open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return {};
    }
    sg::FileDescriptor owned(fd);
    struct stat info {};
    if (::fstat(owned.get(), &info) == 0 && S_ISDIR(info.st_mode)) {
        error = EISDIR;
        return {};
    }
    error = 0;
    return owned;
}

// The signal that ends a thread's wait in SG_IO. Its handler does nothing and is installed
// without SA_RESTART: the kernel must not send the command again when the wait ends.
int interruptSignal() {
    static const int number = [] {
        const int n = SIGRTMIN + 4;
        struct sigaction action {};
        action.sa_handler = [](int) {};
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        ::sigaction(n, &action, nullptr);
        return n;
    }();
    return number;
}

}  // namespace

int rescanScsiHost(const fs::path& sysfsRoot, uint32_t host) {
    const fs::path scan = sg::hostScanFile(sysfsRoot, host);
    sg::FileDescriptor fd(::open(scan.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
    if (!fd.valid()) return errno;
    // Wildcards for channel, target and LUN: look everywhere on the host.
    constexpr std::string_view kAll = "- - -";
    const ssize_t written = ::write(fd.get(), kAll.data(), kAll.size());
    if (written < 0) return errno;
    return written == static_cast<ssize_t>(kAll.size()) ? 0 : EIO;
}

SgTransport::SgTransport(fs::path sysfsRoot, std::vector<uint32_t> hosts, int portCount,
                         std::vector<std::unique_ptr<SgDeviceRecord>> records)
    : sysfsRoot_(std::move(sysfsRoot)),
      hosts_(std::move(hosts)),
      portCount_(portCount),
      records_(std::move(records)) {}

SgDeviceRecord* SgTransport::find(uint8_t port, uint8_t target, uint8_t lun) const {
    const DeviceAddress wanted{port, target, lun};
    for (const auto& record : records_)
        if (record->address == wanted) return record.get();
    return nullptr;
}

std::string SgTransport::nodeName(const DeviceAddress& address) const {
    const SgDeviceRecord* record = find(address.hostAdapter, address.target, address.lun);
    if (!record) return {};
    return record->readOnly ? record->node.string() + " (opened read-only)" : record->node.string();
}

int SgTransport::sendSrb(RequestBlock& srb) {
    carryOut(srb);
    if (srb.post && (srb.flags & srb_flags::EventNotify)) srb.post->set();
    return 0;
}

void SgTransport::carryOut(RequestBlock& srb) {
    if (srb.command == SrbCommand::HostAdapterInquiry) {
        srb.adapterCount = static_cast<uint8_t>(portCount_);
        srb.maxTargets = 16;
        return finish(srb, srb_status::Complete);
    }
    if (srb.hostAdapter >= portCount_) return finish(srb, srb_status::InvalidHostAdapter);
    if (srb.command == SrbCommand::RescanBus) return rescanHost(srb);

    SgDeviceRecord* record = find(srb.hostAdapter, srb.target, srb.lun);
    if (!record) return finish(srb, srb_status::NoDevice);

    switch (srb.command) {
    case SrbCommand::GetDeviceType:
        srb.deviceType = record->peripheralType;
        return finish(srb, srb_status::Complete);
    case SrbCommand::ExecuteScsi:
        return execute(*record, srb);
    case SrbCommand::ResetDevice: {
        // A reset of the logical unit; the kernel's error handler goes on to a target,
        // bus or host reset when the device reset fails.
        int what = SG_SCSI_RESET_DEVICE;
        if (::ioctl(record->fd.get(), SG_SCSI_RESET, &what) < 0) {
            srb.systemError = errno;
            return finish(srb, srb_status::InvalidSrb);
        }
        return finish(srb, srb_status::Complete);
    }
    case SrbCommand::Timeouts:
        if (srb.flags & srb_flags::DataOut)
            record->timeoutSeconds.store(std::min(srb.timeoutSeconds, sg::kMaxTimeoutSeconds));
        srb.timeoutSeconds = record->timeoutSeconds.load();
        return finish(srb, srb_status::Complete);
    case SrbCommand::Abandon:
        return abandon(*record, srb);
    case SrbCommand::Abort:
        // SG_IO waits in the kernel until the command ends and offers no way to abort it
        // from another thread; only its time-out or a device reset ends it early.
    default:
        return finish(srb, srb_status::InvalidCommand);
    }
}

void SgTransport::execute(SgDeviceRecord& record, RequestBlock& srb) {
    std::array<uint8_t, kMaxSense> sense{};
    sg_io_hdr hdr{};
    const bool built = sg::buildSgHeader(srb, record.timeoutSeconds.load(), sense, hdr);
    if (built) {
        interruptSignal();  // installed before anyone may send it
        const std::lock_guard lock(record.waitLock);
        record.inFlight = &srb;
        record.waiter = ::pthread_self();
        record.abandoned = false;
    }
    const int rc = built ? ::ioctl(record.fd.get(), SG_IO, &hdr) : -1;
    const int error = errno;
    bool abandoned = false;
    if (built) {
        const std::lock_guard lock(record.waitLock);
        abandoned = record.abandoned && rc < 0 && error == EINTR;
        record.inFlight = nullptr;
    }
    if (abandoned) {
        // The kernel goes on with the command alone; nothing of it is known here.
        srb.senseLength = 0;
        srb.residual = 0;
        return finish(srb, srb_status::Aborted);
    }
    if (rc < 0) {
        errno = error;
        // Not retried on EINTR: the command may already have reached the drive, and a
        // tape command sent twice moves the tape twice. The errno says why the kernel
        // refused it (a transfer too large, a node opened read-only, a device gone).
        srb.systemError = built ? errno : 0;
        srb.senseLength = 0;
        srb.residual = 0;
        return finish(srb, srb_status::InvalidSrb);
    }
    sg::applySgResult(hdr, sense, srb);
}

void SgTransport::abandon(SgDeviceRecord& record, RequestBlock& srb) {
    using namespace std::chrono_literals;
    const auto deadline = std::chrono::steady_clock::now() + 1s;
    for (;;) {
        {
            const std::lock_guard lock(record.waitLock);
            if (!srb.toAbort || record.inFlight != srb.toAbort) break;
            record.abandoned = true;
            // Repeated: a signal that comes just before the thread enters SG_IO ends nothing.
            ::pthread_kill(record.waiter, interruptSignal());
        }
        if (std::chrono::steady_clock::now() >= deadline) return finish(srb, srb_status::AbortFailed);
        std::this_thread::sleep_for(20ms);
    }
    // The wait has ended (or was over before): its thread completes the block.
    finish(srb, srb.toAbort ? srb_status::Complete : srb_status::InvalidSrb);
}

void SgTransport::rescanHost(RequestBlock& srb) {
    if (!std::binary_search(hosts_.begin(), hosts_.end(), uint32_t{srb.hostAdapter}))
        return finish(srb, srb_status::InvalidHostAdapter);
    finish(srb, rescanScsiHost(sysfsRoot_, srb.hostAdapter) == 0 ? srb_status::Complete : srb_status::InvalidSrb);
}

void rescanScsiHosts(const fs::path& sysfsRoot, std::vector<std::string>& problems) {
    // Only root may ask the kernel to rescan: for anyone else one sentence, not one per host.
    bool refused = false;
    for (uint32_t host : sg::listScsiHosts(sysfsRoot)) {
        const int error = rescanScsiHost(sysfsRoot, host);
        if (sg::isPermissionError(error)) refused = true;
        else if (error)
            problems.push_back(fmt::format("{}: {}", sg::hostScanFile(sysfsRoot, host).string(), errnoText(error)));
    }
    if (refused)
        problems.push_back(
            "The SCSI hosts were not rescanned (only root may do that): the devices the kernel already knows are "
            "listed.");
}

namespace {

// The sysfs entries the scan opens, each with the address the device library gives it:
// every device, or the one `only` names. A device's address can depend on the other
// devices of its host (see sg_address_map.h), so those are read when it does.
void chooseDevices(const SgScanOptions& options, std::vector<sg::GenericDevice>& devices,
                   std::vector<std::optional<DeviceAddress>>& addresses, std::vector<std::string>& problems) {
    using Kind = DeviceSelector::Kind;
    const std::optional<DeviceSelector>& only = options.only;
    if (only && only->kind == Kind::Node) {
        std::optional<sg::GenericDevice> one = sg::readGenericDevice(options.sysfsRoot, only->node, problems);
        if (!one) return;
        if (sg::keepsItsTarget(one->hctl)) {
            devices.push_back(std::move(*one));
            addresses = sg::assignAddresses(devices, problems);
            return;
        }
    }
    if (!only) {
        devices = sg::listGenericDevices(options.sysfsRoot, problems);
        addresses = sg::assignAddresses(devices, problems);
        return;
    }
    // The other devices are read only to place this one: what is wrong with them is not
    // this command's business.
    std::vector<std::string> all;
    std::vector<sg::GenericDevice> listed = sg::listGenericDevices(options.sysfsRoot, all);
    const auto placed = sg::assignAddresses(listed, all);
    for (size_t i = 0; i < listed.size(); ++i) {
        const sg::Hctl& h = listed[i].hctl;
        const bool wanted = only->kind == Kind::Node     ? listed[i].name == only->node
                            : only->kind == Kind::Kernel ? KernelAddress{h.host, h.channel, h.target, h.lun} ==
                                                               only->kernel
                                                         : placed[i] && *placed[i] == only->address;
        if (!wanted) continue;
        for (std::string& problem : all)
            if (problem.starts_with(listed[i].name + " ") || problem.starts_with(listed[i].name + ":"))
                problems.push_back(std::move(problem));
        devices.push_back(std::move(listed[i]));
        addresses.push_back(placed[i]);
        return;
    }
}

}  // namespace

std::shared_ptr<Transport> makeSgTransport(const SgScanOptions& options, SgScanReport& report) {
    report = SgScanReport{};
    std::vector<uint32_t> hosts = sg::listScsiHosts(options.sysfsRoot);
    if (options.rescan) rescanScsiHosts(options.sysfsRoot, report.problems);

    std::vector<sg::GenericDevice> devices;
    std::vector<std::optional<DeviceAddress>> addresses;
    chooseDevices(options, devices, addresses, report.problems);

    int portCount = 0;
    for (uint32_t host : hosts)
        if (host <= sg::kMaxHostNumber) portCount = std::max(portCount, static_cast<int>(host) + 1);

    std::vector<std::unique_ptr<SgDeviceRecord>> records;
    for (size_t i = 0; i < devices.size(); ++i) {
        if (!addresses[i]) continue;
        sg::GenericDevice& device = devices[i];
        const fs::path node = options.devRoot / device.name;
        int error = 0;
        bool readOnly = false;
        sg::FileDescriptor fd = openNode(options.open, node, error, readOnly);
        if (!fd.valid()) {
            ++report.unopenable;
            if (sg::isPermissionError(error)) {
                ++report.permissionDenied;
                report.problems.push_back(sg::permissionAdvice(node, device, sg::nodeGroup(node)));
            } else {
                report.problems.push_back(fmt::format("{}: {}", node.string(), errnoText(error)));
            }
            continue;
        }
        auto record = std::make_unique<SgDeviceRecord>();
        record->name = device.name;
        record->node = node;
        record->hctl = device.hctl;
        record->address = *addresses[i];
        record->peripheralType = device.peripheralType;
        record->vendor = std::move(device.vendor);
        record->model = std::move(device.model);
        record->fd = std::move(fd);
        record->readOnly = readOnly;
        portCount = std::max(portCount, record->address.hostAdapter + 1);
        records.push_back(std::move(record));
    }

    report.portCount = portCount;
    report.devices = static_cast<int>(records.size());
    std::erase_if(hosts, [](uint32_t host) { return host > sg::kMaxHostNumber; });
    return std::make_shared<SgTransport>(options.sysfsRoot, std::move(hosts), portCount, std::move(records));
}

}  // namespace vexal::device
