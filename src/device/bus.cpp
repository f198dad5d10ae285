#include "device/bus.h"

#include <array>
#include <thread>

#include "platform/event.h"

namespace vexal::device {

using namespace std::chrono_literals;

int Bus::readAdapterCount() {
    RequestBlock inquiry;
    inquiry.command = SrbCommand::HostAdapterInquiry;
    if (transport_->sendSrb(inquiry) < 0 || inquiry.status.load() != srb_status::Complete) return -1;
    return inquiry.adapterCount;
}

bool Bus::BeginEnumeration() {
    adapter_ = target_ = lun_ = 0;
    adapterCount_ = 0;
    if (!transport_) return false;
    const int count = readAdapterCount();
    if (count < 0) return false;
    adapterCount_ = count;
    return true;
}

std::unique_ptr<TransportDevice> Bus::NextDevice(int handle) {
    if (adapterCount_ <= 0) return nullptr;
    for (;;) {
        if (target_ > 15) {
            if (adapter_ >= adapterCount_ - 1) return nullptr;
            ++adapter_;
            target_ = 0;
            lun_ = 0;
        }
        std::array<uint8_t, 32> data{};
        platform::Event done;
        RequestBlock srb;
        srb.command = SrbCommand::ExecuteScsi;
        srb.hostAdapter = static_cast<uint8_t>(adapter_);
        srb.target = static_cast<uint8_t>(target_);
        srb.lun = static_cast<uint8_t>(lun_);
        srb.flags = srb_flags::DataIn | srb_flags::EventNotify;
        srb.post = &done;
        srb.buffer = data.data();
        srb.bufferLength = data.size();
        srb.senseLength = 14;
        srb.cdbLength = 6;
        // Byte 1 stays clear: the transport addresses the LUN, and devices since SCSI-3 treat
        // its old LUN bits as reserved.
        srb.cdb = {0x12, 0, 0, 0, 32, 0};
        if (transport_->sendSrb(srb) >= 0 && srb.status.load() == srb_status::Pending) done.wait(1000ms);

        if (srb.status.load() == srb_status::Complete) {
            auto device = std::make_unique<TransportDevice>(transport_, handle);
            device->SetIdentity(srb.hostAdapter, srb.target, srb.lun, data.data(), data.size());
            device->RefreshIdentity();
            if (++lun_ > 255) {
                ++target_;
                lun_ = 0;
            }
            return device;
        }
        // A back end that lists its devices may have LUN 1 without LUN 0 (a LUN deleted, or
        // not openable, or only one device opened): step over the gap.
        if (transport_->listsItsDevices() && lun_ < 255) {
            ++lun_;
            continue;
        }
        ++target_;
        lun_ = 0;
    }
}

void Bus::RescanBuses(bool settle) {
    const int count = readAdapterCount();
    for (int adapter = 0; adapter < count; ++adapter) {
        RequestBlock rescan;
        rescan.command = SrbCommand::RescanBus;
        rescan.hostAdapter = static_cast<uint8_t>(adapter);
        transport_->sendSrb(rescan);
    }
    if (settle && count > 0 && transport_->rescanNeedsSettling()) std::this_thread::sleep_for(10s);
}

}  // namespace vexal::device
