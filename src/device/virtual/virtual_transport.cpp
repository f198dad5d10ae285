#include "device/virtual/virtual_transport.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <map>

#include "device/virtual/serial_console.h"
#include "device/virtual/virtual_changer.h"
#include "device/virtual/virtual_disk.h"
#include "device/virtual/virtual_tape_drive.h"
#include "platform/event.h"

namespace vexal::device {
namespace {

using namespace virt;

class VirtualTransport : public Transport {
public:
    static constexpr size_t kTargets = kVirtualTargets;
    static constexpr size_t kAdapters = kVirtualAdapters;

    std::string_view name() const override { return "virtual"; }

    int sendSrb(RequestBlock& srb) override {
        srb.status.store(carryOut(srb));
        if ((srb.flags & srb_flags::EventNotify) && srb.post) srb.post->set();
        return 0;
    }

    WarningLog warnings;  // before the devices: they report into it until they are gone
    // [adapter][target]; adapters after the last one a device sits on do not exist.
    std::array<std::array<std::unique_ptr<VirtualDevice>, kTargets>, kAdapters> devices;
    std::array<std::array<std::unique_ptr<SerialConsole>, kTargets>, kAdapters> consoles;
    uint8_t adapterCount = 1;

private:
    VirtualDevice* device(const RequestBlock& srb) const {
        if (srb.hostAdapter >= adapterCount || srb.target >= kTargets || srb.lun != 0) return nullptr;
        return devices[srb.hostAdapter][srb.target].get();
    }

    uint8_t carryOut(RequestBlock& srb) {
        if (srb.command == SrbCommand::HostAdapterInquiry) {
            srb.adapterCount = adapterCount;
            srb.maxTargets = kTargets;
            return srb.hostAdapter < adapterCount ? srb_status::Complete : srb_status::InvalidHostAdapter;
        }
        if (srb.hostAdapter >= adapterCount) return srb_status::InvalidHostAdapter;
        if (srb.command == SrbCommand::RescanBus) return srb_status::Complete;
        VirtualDevice* d = device(srb);
        switch (srb.command) {
        case SrbCommand::GetDeviceType:
            if (!d) return srb_status::NoDevice;
            srb.deviceType = d->peripheralType();
            return srb_status::Complete;
        case SrbCommand::ExecuteScsi:
            if (!d) return srb_status::NoDevice;
            if (srb.cdbLength == 0) return srb_status::InvalidSrb;
            d->execute(srb);
            return srb.status.load();
        case SrbCommand::Abort:
            // Virtual commands complete before sendSrb returns: nothing is outstanding.
            return d ? srb_status::Complete : srb_status::NoDevice;
        case SrbCommand::ResetDevice:
            if (!d) return srb_status::NoDevice;
            d->reset();
            return srb_status::Complete;
        case SrbCommand::Timeouts:
            if (!d) return srb_status::NoDevice;
            if (srb.flags & srb_flags::DataOut) d->setTimeoutSeconds(srb.timeoutSeconds);
            else srb.timeoutSeconds = d->timeoutSeconds();
            return srb_status::Complete;
        default:
            return srb_status::InvalidCommand;
        }
    }
};

// The section a device came from, for messages.
std::string sectionName(const DeviceProfile& p) {
    return (p.adapter != 0 ? "adapter " + std::to_string(p.adapter) + " " : std::string()) + "target " +
           std::to_string(p.target);
}

// Trace files by path, so that devices tracing to one file share one descriptor.
class TraceFiles {
public:
    std::shared_ptr<CdbTrace> get(const std::string& path, std::string& error) {
        auto& slot = files_[path];
        if (!slot) slot = CdbTrace::open(path, error);
        return slot;
    }

private:
    std::map<std::string, std::shared_ptr<CdbTrace>> files_;
};

}  // namespace

std::shared_ptr<Transport> makeVirtualTransport(const std::string& profilePath, std::string& error) {
    VirtualProfile profile;
    if (profilePath.empty()) profile = defaultProfile();
    else if (!loadProfile(profilePath, profile, error)) return nullptr;

    auto transport = std::make_shared<VirtualTransport>();
    TraceFiles traces;
    std::shared_ptr<CdbTrace> environmentTrace;
    if (const char* path = std::getenv("VEXAL_VIRTUAL_TRACE"); path && *path) {
        std::string reason;
        environmentTrace = traces.get(path, reason);
        if (!environmentTrace)
            transport->warnings.add("The CDB trace file " + std::string(path) +
                                    " named by VEXAL_VIRTUAL_TRACE cannot be opened (" + reason + ").");
    }
    for (const DeviceProfile& p : profile.devices) {
        std::shared_ptr<CdbTrace> trace = environmentTrace;
        if (!p.trace.empty()) {
            std::string reason;
            trace = traces.get(p.trace, reason);
            if (!trace) {
                error = "Virtual drive profile \"" + profilePath + "\": the key \"trace\" of [" + sectionName(p) +
                        "] names the file " + p.trace + ", which cannot be opened (" + reason + ").";
                return nullptr;
            }
        }
        auto& slot = transport->devices[p.adapter][p.target];
        transport->adapterCount = std::max<uint8_t>(transport->adapterCount, p.adapter + 1);
        switch (p.kind) {
        case DeviceKind::Tape: slot = std::make_unique<VirtualTapeDrive>(p, trace, transport->warnings); break;
        case DeviceKind::Changer: slot = std::make_unique<VirtualChanger>(p, trace); break;
        case DeviceKind::Disk: slot = std::make_unique<VirtualDisk>(p, trace); break;
        }
        if (p.serialConsole) {
            std::string reason;
            auto& console = transport->consoles[p.adapter][p.target];
            console = SerialConsole::start(p, reason);
            if (!console)
                transport->warnings.add("The serial console of [" + sectionName(p) + "] cannot be opened (" + reason +
                                        ").");
        }
    }
    error.clear();
    return transport;
}

std::vector<std::string> virtualTransportWarnings(const Transport& transport) {
    if (const auto* v = dynamic_cast<const VirtualTransport*>(&transport)) return v->warnings.all();
    return {};
}

std::vector<VirtualConsole> virtualSerialConsoles(const Transport& transport) {
    std::vector<VirtualConsole> out;
    if (const auto* v = dynamic_cast<const VirtualTransport*>(&transport))
        for (size_t a = 0; a < v->consoles.size(); ++a)
            for (size_t t = 0; t < v->consoles[a].size(); ++t)
                if (v->consoles[a][t])
                    out.push_back({static_cast<uint8_t>(t), v->consoles[a][t]->path(), static_cast<uint8_t>(a)});
    return out;
}

}  // namespace vexal::device
