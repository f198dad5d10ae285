#include "device/iscsi/iscsi_transport.h"

#include <map>
#include <mutex>
#include <tuple>

#include "device/iscsi/discovery.h"
#include "device/iscsi/iscsi_context.h"
#include "device/iscsi/iscsi_worker.h"
#include "device/iscsi/scsi_result.h"
#include "platform/event.h"

namespace vexal::device {
namespace {

using iscsi::Clock;
using iscsi::Job;

constexpr size_t kMaxTargets = 16;
constexpr uint32_t kDefaultTimeoutSeconds = 108000;
constexpr std::chrono::seconds kDiscoveryLimit{10};
constexpr std::chrono::seconds kResetLimit{30};
constexpr std::chrono::seconds kIdentifyLimit{10};

class IscsiTransport final : public Transport {
public:
    IscsiTransport(std::vector<std::string> portals, const std::string& initiator)
        : portals_(std::move(portals)), initiator_(initiator), targets_(portals_.size()), worker_(initiator) {}

    std::string_view name() const override { return "iscsi"; }

    int sendSrb(RequestBlock& srb) override;

    // SendTargets on one portal; its targets replace the adapter's previous ones.
    bool discover(size_t adapter, std::string& error);

private:
    using LunKey = std::tuple<uint8_t, uint8_t, uint8_t>;

    static int complete(RequestBlock& srb, uint8_t status) {
        srb.status.store(status);
        if ((srb.flags & srb_flags::EventNotify) && srb.post) srb.post->set();
        return 0;
    }
    // The target name at the block's address; 0 when found, else the status to answer.
    uint8_t resolve(const RequestBlock& srb, std::string& target) const;
    std::shared_ptr<Job> makeJob(Job::Kind kind, RequestBlock& srb, std::string target,
                                 Clock::duration limit) const;
    int execute(RequestBlock& srb);
    int deviceType(RequestBlock& srb);
    int timeouts(RequestBlock& srb);
    Clock::duration commandLimit(const RequestBlock& srb) const;

    const std::vector<std::string> portals_;  // libiscsi form, one per adapter
    const std::string initiator_;
    mutable std::mutex mutex_;
    std::vector<std::vector<std::string>> targets_;  // per adapter, in discovery order
    std::map<LunKey, uint32_t> timeouts_;
    std::map<LunKey, uint8_t> deviceTypes_;  // first INQUIRY byte, from the last INQUIRY
    iscsi::Worker worker_;  // last: its thread stops first
};

bool IscsiTransport::discover(size_t adapter, std::string& error) {
    std::vector<std::string> found;
    const bool ok = iscsi::discoverTargets(portals_[adapter], initiator_, kDiscoveryLimit, found, error);
    if (found.size() > kMaxTargets) {
        error = "lists " + std::to_string(found.size()) + " targets; only the first 16 are used";
        found.resize(kMaxTargets);
    }
    std::lock_guard lock(mutex_);
    targets_[adapter] = std::move(found);
    for (auto it = deviceTypes_.begin(); it != deviceTypes_.end();) {
        if (std::get<0>(it->first) == adapter) it = deviceTypes_.erase(it);
        else ++it;
    }
    return ok;
}

uint8_t IscsiTransport::resolve(const RequestBlock& srb, std::string& target) const {
    if (srb.hostAdapter >= portals_.size()) return srb_status::InvalidHostAdapter;
    std::lock_guard lock(mutex_);
    const auto& list = targets_[srb.hostAdapter];
    if (srb.target >= list.size()) return srb_status::NoDevice;
    target = list[srb.target];
    return 0;
}

Clock::duration IscsiTransport::commandLimit(const RequestBlock& srb) const {
    std::lock_guard lock(mutex_);
    const auto it = timeouts_.find({srb.hostAdapter, srb.target, srb.lun});
    // 0 (or never set) means the default: a command must never wait for ever.
    const uint32_t seconds = it == timeouts_.end() || it->second == 0 ? kDefaultTimeoutSeconds : it->second;
    return std::chrono::seconds(seconds);
}

std::shared_ptr<Job> IscsiTransport::makeJob(Job::Kind kind, RequestBlock& srb, std::string target,
                                             Clock::duration limit) const {
    auto job = std::make_shared<Job>();
    job->kind = kind;
    job->srb = &srb;
    job->adapter = srb.hostAdapter;
    job->lun = srb.lun;
    job->portal = portals_[srb.hostAdapter];
    job->target = std::move(target);
    job->deadline = Clock::now() + limit;
    return job;
}

int IscsiTransport::execute(RequestBlock& srb) {
    std::string target;
    if (const uint8_t status = resolve(srb, target)) return complete(srb, status);
    worker_.run(makeJob(Job::Kind::Execute, srb, std::move(target), commandLimit(srb)));
    if (srb.status.load() == srb_status::Complete && iscsi::isStandardInquiry(srb.cdb.data(), srb.cdbLength) &&
        (srb.flags & srb_flags::DataIn) && srb.buffer && srb.bufferLength > srb.residual) {
        std::lock_guard lock(mutex_);
        deviceTypes_[{srb.hostAdapter, srb.target, srb.lun}] = srb.buffer[0];
    }
    return 0;
}

int IscsiTransport::deviceType(RequestBlock& srb) {
    std::string target;
    if (const uint8_t status = resolve(srb, target)) return complete(srb, status);
    {
        std::lock_guard lock(mutex_);
        const auto it = deviceTypes_.find({srb.hostAdapter, srb.target, srb.lun});
        if (it != deviceTypes_.end()) {
            srb.deviceType = it->second & 0x1F;
            return complete(srb, srb_status::Complete);
        }
    }
    // Nothing cached yet: ask the device.
    std::array<uint8_t, 36> data{};
    RequestBlock inquiry;
    inquiry.hostAdapter = srb.hostAdapter;
    inquiry.target = srb.target;
    inquiry.lun = srb.lun;
    inquiry.flags = srb_flags::DataIn;
    inquiry.buffer = data.data();
    inquiry.bufferLength = data.size();
    inquiry.cdbLength = 6;
    inquiry.cdb = {0x12, 0, 0, 0, static_cast<uint8_t>(data.size()), 0};
    worker_.run(makeJob(Job::Kind::Execute, inquiry, target, kIdentifyLimit));
    if (inquiry.status.load() != srb_status::Complete || inquiry.residual >= data.size())
        return complete(srb, srb_status::NoDevice);
    {
        std::lock_guard lock(mutex_);
        deviceTypes_[{srb.hostAdapter, srb.target, srb.lun}] = data[0];
    }
    srb.deviceType = data[0] & 0x1F;
    return complete(srb, srb_status::Complete);
}

int IscsiTransport::timeouts(RequestBlock& srb) {
    std::string target;
    if (const uint8_t status = resolve(srb, target)) return complete(srb, status);
    const LunKey key{srb.hostAdapter, srb.target, srb.lun};
    std::lock_guard lock(mutex_);
    if (srb.flags & srb_flags::DataOut) {
        timeouts_[key] = srb.timeoutSeconds;
    } else if (srb.flags & srb_flags::DataIn) {
        const auto it = timeouts_.find(key);
        srb.timeoutSeconds = it == timeouts_.end() ? kDefaultTimeoutSeconds : it->second;
    } else {
        return complete(srb, srb_status::InvalidSrb);
    }
    return complete(srb, srb_status::Complete);
}

int IscsiTransport::sendSrb(RequestBlock& srb) {
    if (srb.command == SrbCommand::HostAdapterInquiry) {
        srb.adapterCount = static_cast<uint8_t>(portals_.size());
        srb.maxTargets = kMaxTargets;
        return complete(srb, srb_status::Complete);
    }
    if (srb.hostAdapter >= portals_.size()) return complete(srb, srb_status::InvalidHostAdapter);
    switch (srb.command) {
    case SrbCommand::ExecuteScsi: return execute(srb);
    case SrbCommand::GetDeviceType: return deviceType(srb);
    case SrbCommand::Timeouts: return timeouts(srb);
    case SrbCommand::RescanBus: {
        std::string error;
        return complete(srb, discover(srb.hostAdapter, error) ? srb_status::Complete : srb_status::InvalidSrb);
    }
    case SrbCommand::Abort:
    case SrbCommand::Abandon: {
        // The block to stop belongs to another thread; whoever drives the iSCSI loop ends it and answers.
        auto job = std::make_shared<Job>();
        job->kind = srb.command == SrbCommand::Abort ? Job::Kind::Abort : Job::Kind::Abandon;
        job->srb = &srb;
        job->toAbort = srb.toAbort;
        worker_.run(job);
        return 0;
    }
    case SrbCommand::ResetDevice: {
        std::string target;
        if (const uint8_t status = resolve(srb, target)) return complete(srb, status);
        worker_.run(makeJob(Job::Kind::Reset, srb, std::move(target), kResetLimit));
        return 0;
    }
    default: return complete(srb, srb_status::InvalidCommand);
    }
}

}  // namespace

std::shared_ptr<Transport> makeIscsiTransport(const std::vector<std::string>& portals, std::string& error) {
    error.clear();
    if (portals.size() > 255) {
        error = "too many iSCSI portals (at most 255)";
        return nullptr;
    }
    std::vector<std::string> parsed;
    for (const std::string& text : portals) {
        std::string host;
        int port = 0;
        if (!parsePortal(text, host, port)) {
            error = "invalid iSCSI portal \"" + text + "\"";
            return nullptr;
        }
        parsed.push_back(iscsi::libiscsiPortal(host, port));
    }
    auto transport = std::make_shared<IscsiTransport>(parsed, iscsi::initiatorName());
    for (size_t adapter = 0; adapter < parsed.size(); ++adapter) {
        std::string note;
        transport->discover(adapter, note);
        if (note.empty()) continue;
        if (!error.empty()) error += "; ";
        error += "portal " + parsed[adapter] + ": " + note;
    }
    return transport;
}

}  // namespace vexal::device
