#include "device/device_library.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "device/buffer_table.h"
#include "device/bus.h"
#include "device/scsi_request.h"
#include "device/transport_device.h"

namespace vexal::device {
namespace {

struct Channel {
    std::unique_ptr<TransportDevice> device;
    size_t slot = 0;
    ScsiRequest request;
    std::optional<std::string> unitSerial;  // from VPD page 80h, when the device answered
};

struct DeviceManager {
    std::shared_ptr<Transport> transport;
    // Channels are held by pointer so that a request stays where the transport device
    // refers to it while the list grows.
    std::vector<std::unique_ptr<Channel>> list;
    BufferTable buffers;
    size_t cursor = 0;
};

DeviceManager& manager() {
    static DeviceManager instance;
    return instance;
}

Channel* lookup(int handle) {
    for (auto& channel : manager().list)
        if (channel->device->handle() == handle) return channel.get();
    return nullptr;
}

int report(size_t index, int* handle, const uint8_t** identity, size_t* identityLength) {
    auto& list = manager().list;
    if (index >= list.size()) return 1;
    const TransportDevice& device = *list[index]->device;
    if (handle) *handle = device.handle();
    if (identity) *identity = device.GetIdentity();
    if (identityLength) *identityLength = device.IdentityLength();
    return 0;
}

}  // namespace

int DevStartup(int mode) {
    (void)mode;  // nothing to start or stop: no operation here needs sockets
    return 1;
}

int DevSetTransport(std::shared_ptr<Transport> transport) {
    manager().transport = std::move(transport);
    return 0;
}

std::shared_ptr<Transport> DevGetTransport() { return manager().transport; }

int DevRescanBuses(bool settle) {
    if (!manager().transport) return 1;
    Bus(manager().transport).RescanBuses(settle);
    return 0;
}

int DevFreeList() {
    DeviceManager& m = manager();
    for (auto& channel : m.list) m.buffers.release(channel->slot);
    m.list.clear();
    m.cursor = 0;
    return 0;
}

int DevEnumerate() {
    DevFreeList();
    DeviceManager& m = manager();
    Bus bus(m.transport);
    if (!bus.BeginEnumeration()) return 0;
    for (int handle = 0;; ++handle) {
        std::unique_ptr<TransportDevice> device = bus.NextDevice(handle);
        if (!device) break;
        auto channel = std::make_unique<Channel>();
        channel->device = std::move(device);
        channel->slot = m.buffers.allocate();
        channel->request.buffer = m.buffers.at(channel->slot);
        m.list.push_back(std::move(channel));
    }
    return 0;
}

int DevFirst(int* handle, const uint8_t** identity, size_t* identityLength) {
    manager().cursor = 0;
    if (report(0, handle, identity, identityLength) != 0) return 1;
    manager().cursor = 1;
    return 0;
}

int DevNext(int* handle, const uint8_t** identity, size_t* identityLength) {
    if (report(manager().cursor, handle, identity, identityLength) != 0) return 1;
    ++manager().cursor;
    return 0;
}

int DevGetIdentity(int handle, const uint8_t** identity, size_t* identityLength) {
    Channel* channel = lookup(handle);
    if (!channel) return 1;
    if (identity) *identity = channel->device->GetIdentity();
    if (identityLength) *identityLength = channel->device->IdentityLength();
    return 0;
}

int DevGetAddress(int handle, uint8_t* adapter, uint8_t* target, uint8_t* lun) {
    Channel* channel = lookup(handle);
    if (!channel) return 1;
    const DeviceAddress address = channel->device->GetAddress();
    if (adapter) *adapter = address.hostAdapter;
    if (target) *target = address.target;
    if (lun) *lun = address.lun;
    return 0;
}

int DevWriteBuffer(int handle, const void* data, size_t offset, size_t length) {
    Channel* channel = lookup(handle);
    if (!channel || (length > 0 && !data)) return 1;
    if (offset > std::numeric_limits<size_t>::max() - length) return 1;
    Buffer& buffer = *channel->request.buffer;
    if (!buffer.ensure(offset + length)) return 1;
    if (length > 0) std::memcpy(buffer.data() + offset, data, length);
    return 0;
}

int DevReadBuffer(int handle, void* data, size_t offset, size_t length) {
    Channel* channel = lookup(handle);
    if (!channel) return 1;
    const Buffer& buffer = *channel->request.buffer;
    if (offset > buffer.used() || length > buffer.used() - offset) return 0;  // nothing to copy
    if (length > 0 && data) std::memcpy(data, buffer.data() + offset, length);
    return 0;
}

uint8_t* DevBufferData(int handle, size_t length) {
    Channel* channel = lookup(handle);
    if (!channel) return nullptr;
    Buffer& buffer = *channel->request.buffer;
    return buffer.ensure(length) ? buffer.data() : nullptr;
}

int DevExecute(int handle, const uint8_t* cdb, int cdbLength, uint32_t transferLength, int toDevice) {
    Channel* channel = lookup(handle);
    if (!channel) return 1;
    TransportDevice& device = *channel->device;
    device.clearTimeoutReport();
    if (!cdb || cdbLength < 1 || cdbLength > 16) return 1;
    device.ClearLastErrorCode();
    ScsiRequest& request = channel->request;
    request.cdb.fill(0);
    std::memcpy(request.cdb.data(), cdb, static_cast<size_t>(cdbLength));
    request.cdbLength = static_cast<uint16_t>(cdbLength);
    request.senseLength = 0;
    request.transferred = 0;
    request.systemError = 0;
    if (!request.buffer->setUsed(transferLength)) return 1;
    if (transferLength == 0) request.direction = ScsiRequest::None;
    else request.direction = (toDevice & 0xFF) ? ScsiRequest::ToDevice : ScsiRequest::FromDevice;
    if (!device.Enqueue(&request)) return 1;
    return device.WaitForCompletion() == completion::Good ? 0 : 1;
}

int DevGetStatus(int handle, uint8_t* sense, size_t maxLength) {
    Channel* channel = lookup(handle);
    if (!channel) return 1;
    const ScsiRequest& request = channel->request;
    if (sense) std::memcpy(sense, request.sense.data(), std::min<size_t>(request.senseLength, maxLength));
    return channel->device->GetLastErrorCode();
}

int DevLastError(int handle) {
    Channel* channel = lookup(handle);
    return channel ? channel->device->GetLastErrorCode() : -1;
}

int DevTimeout(int handle, int set, int seconds) {
    Channel* channel = lookup(handle);
    return channel ? channel->device->Timeout(set != 0, seconds) : -1;
}

int DevTestUnitReady(int handle) {
    const uint8_t cdb[6] = {0x00, 0, 0, 0, 0, 0};
    return DevExecute(handle, cdb, 6, 0, 0);
}

int DevRewind(int handle) {
    const uint8_t cdb[6] = {0x01, 0, 0, 0, 0, 0};
    return DevExecute(handle, cdb, 6, 0, 0);
}

namespace {
int inquiryInto(int handle, const uint8_t (&cdb)[6], uint8_t* data, size_t length) {
    const int rc = DevExecute(handle, cdb, 6, cdb[4], 0);
    if (data && length > 0) {
        std::memset(data, 0, length);
        const auto sent = static_cast<size_t>(std::max<int64_t>(DevGetTransferred(handle), 0));
        DevReadBuffer(handle, data, 0, std::min({length, size_t{cdb[4]}, sent}));
    }
    return rc;
}
}  // namespace

int DevInquiry(int handle, uint8_t* data, size_t length) {
    if (!lookup(handle)) return 1;
    const uint8_t cdb[6] = {0x12, 0, 0, 0, static_cast<uint8_t>(TransportDevice::kIdentityLength), 0};
    return inquiryInto(handle, cdb, data, length);
}

int DevInquiryPageC1(int handle, uint8_t* data, size_t length) {
    // "Inquiry4CorvineDrive": the vendor page that tells the drive families apart.
    if (!lookup(handle)) return 1;
    const uint8_t cdb[6] = {0x12, 0x01, 0xC1, 0x00, static_cast<uint8_t>(TransportDevice::kIdentityLength), 0};
    return inquiryInto(handle, cdb, data, length);
}

int DevResetDevice(int handle) {
    Channel* channel = lookup(handle);
    if (!channel) return 1;
    TransportDevice& device = *channel->device;
    device.ClearLastErrorCode();
    // The reset is this device's last command now: the previous command's sense, data
    // and errno are not its outcome.
    ScsiRequest& request = channel->request;
    request.senseLength = 0;
    request.transferred = 0;
    TransportDevice::ControlOutcome outcome;
    const bool done = device.ResetDevice(&outcome);
    request.systemError = outcome.systemError;
    if (done) return 0;
    device.SetLastErrorCode(outcome.status == srb_status::Pending ? last_error::TransportBusy : outcome.status);
    return 1;
}

int DevAbort(int handle) {
    Channel* channel = lookup(handle);
    return channel && channel->device->AbortCommand() ? 0 : 1;
}

int DevAbandon(int handle) {
    Channel* channel = lookup(handle);
    return channel && channel->device->AbandonCommand() ? 0 : 1;
}

int DevGetTargetStatus(int handle) {
    Channel* channel = lookup(handle);
    return channel ? channel->device->lastTargetStatus() : -1;
}

int DevGetSenseLength(int handle) {
    Channel* channel = lookup(handle);
    return channel ? static_cast<int>(channel->request.senseLength) : -1;
}

int DevGetTimeoutReport(int handle, TimeoutReport* report) {
    Channel* channel = lookup(handle);
    if (report) *report = channel ? channel->device->timeoutReport() : TimeoutReport{};
    return channel ? 0 : 1;
}

int64_t DevGetTransferred(int handle) {
    Channel* channel = lookup(handle);
    return channel ? int64_t{channel->request.transferred} : -1;
}

int DevGetSystemError(int handle) {
    Channel* channel = lookup(handle);
    return channel ? channel->request.systemError : -1;
}

std::string DevSystemErrorText(int handle) {
    Channel* channel = lookup(handle);
    if (!channel || channel->request.systemError == 0) return {};
    const std::string reason = std::error_code(channel->request.systemError, std::generic_category()).message();
    const std::string node =
        manager().transport ? manager().transport->nodeName(channel->device->GetAddress()) : std::string();
    return node.empty() ? reason : node + ": " + reason;
}

int DevSetUnitSerial(int handle, const std::string& serial) {
    Channel* channel = lookup(handle);
    if (!channel) return 1;
    channel->unitSerial = serial;
    return 0;
}

int DevGetUnitSerial(int handle, std::string& serial) {
    Channel* channel = lookup(handle);
    if (!channel || !channel->unitSerial) return 1;
    serial = *channel->unitSerial;
    return 0;
}

int DevCount() { return static_cast<int>(manager().list.size()); }

TransportDevice* DevTransportDevice(int handle) {
    Channel* channel = lookup(handle);
    return channel ? channel->device.get() : nullptr;
}

}  // namespace vexal::device
