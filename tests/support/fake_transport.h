#pragma once
// A scripted transport for device-library tests: devices at fixed addresses, each with a
// handler that carries out execute blocks.
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "device/transport.h"
#include "platform/event.h"
#include <algorithm>

namespace vexal::testing {

class FakeTransport : public device::Transport {
public:
    using Handler = std::function<void(device::RequestBlock&)>;

    int adapters = 1;
    std::map<std::tuple<int, int, int>, Handler> devices;
    std::vector<device::SrbCommand> sent;
    std::vector<std::vector<uint8_t>> cdbs;
    int timeoutSeconds = 0;
    bool timeoutsSupported = true;
    int resetErrno = 0;  // non-zero: a device reset fails with this errno
    std::string node;    // what nodeName() answers for every device
    bool listsDevices = false;  // as a transport that lists its devices (SCSI generic)

    std::string_view name() const override { return "fake"; }
    std::string nodeName(const device::DeviceAddress&) const override { return node; }
    bool listsItsDevices() const override { return listsDevices; }

    int sendSrb(device::RequestBlock& srb) override {
        using namespace device;
        sent.push_back(srb.command);
        if (srb.command == SrbCommand::HostAdapterInquiry) {
            srb.adapterCount = static_cast<uint8_t>(adapters);
            srb.maxTargets = 16;
            return finish(srb, srb_status::Complete);
        }
        if (srb.hostAdapter >= adapters) return finish(srb, srb_status::InvalidHostAdapter);
        if (srb.command == SrbCommand::RescanBus) return finish(srb, srb_status::Complete);
        auto it = devices.find({srb.hostAdapter, srb.target, srb.lun});
        if (it == devices.end()) return finish(srb, srb_status::NoDevice);
        switch (srb.command) {
        case SrbCommand::ExecuteScsi:
            cdbs.emplace_back(srb.cdb.begin(), srb.cdb.begin() + srb.cdbLength);
            srb.senseLength = 0;
            it->second(srb);
            if (srb.status.load() == srb_status::Pending) srb.status.store(srb_status::Complete);
            if (srb.post && (srb.flags & srb_flags::EventNotify)) srb.post->set();
            return 0;
        case SrbCommand::Timeouts:
            if (!timeoutsSupported) return finish(srb, srb_status::InvalidCommand);
            if (srb.flags & srb_flags::DataOut) timeoutSeconds = static_cast<int>(srb.timeoutSeconds);
            else srb.timeoutSeconds = static_cast<uint32_t>(timeoutSeconds);
            return finish(srb, srb_status::Complete);
        case SrbCommand::ResetDevice:
            srb.systemError = resetErrno;
            return finish(srb, resetErrno ? srb_status::InvalidSrb : srb_status::Complete);
        default:
            return finish(srb, srb_status::InvalidCommand);
        }
    }

    // A handler that answers INQUIRY with a standard identity of the given type.
    static Handler inquiryDevice(uint8_t type, std::vector<uint8_t> extra = {}) {
        return [type, extra](device::RequestBlock& srb) {
            if (srb.cdb[0] == 0x12 && srb.buffer) {
                std::vector<uint8_t> id(56, 0);
                id[0] = type;
                id[4] = 51;
                for (size_t i = 0; i < extra.size() && i < id.size(); ++i) id[i] = extra[i];
                const size_t n = std::min<size_t>(srb.bufferLength, id.size());
                std::copy_n(id.begin(), n, srb.buffer);
                srb.residual = srb.bufferLength - static_cast<uint32_t>(n);
            }
            srb.status.store(device::srb_status::Complete);
        };
    }

private:
    static int finish(device::RequestBlock& srb, uint8_t status) {
        srb.status.store(status);
        if (srb.post && (srb.flags & device::srb_flags::EventNotify)) srb.post->set();
        return 0;
    }
};

}  // namespace vexal::testing
