#pragma once
// A tape drive on the fake transport that answers LOG SENSE from hand-made pages, so the
// diag tests do not depend on the virtual drive's log pages.
#include <algorithm>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

#include "command/scsi_device.h"
#include "device/device_library.h"
#include "support/fake_transport.h"

namespace vexal::testing {

class FakeLogDrive {
public:
    FakeLogDrive() : transport(std::make_shared<FakeTransport>()) {
        transport->devices[{0, 0, 0}] = [this](device::RequestBlock& srb) { answer(srb); };
        device::DevSetTransport(transport);
        device::DevEnumerate();
    }
    ~FakeLogDrive() {
        device::DevFreeList();
        device::DevSetTransport(nullptr);
    }
    FakeLogDrive(const FakeLogDrive&) = delete;
    FakeLogDrive& operator=(const FakeLogDrive&) = delete;

    // Pages by page code; a page not here, or any page while `failLogSense` is set, ends
    // in CHECK CONDITION, ILLEGAL REQUEST, 24h/00h.
    std::map<uint8_t, std::vector<uint8_t>> pages;
    bool failLogSense = false;
    // The page is transferred, then the command ends in CHECK CONDITION (RECOVERED ERROR).
    bool failAfterData = false;
    std::shared_ptr<FakeTransport> transport;

    // The CDBs of the LOG SENSE commands received, in order.
    std::vector<std::vector<uint8_t>> logCdbs() const {
        std::vector<std::vector<uint8_t>> out;
        for (const auto& cdb : transport->cdbs)
            if (!cdb.empty() && cdb[0] == 0x4D) out.push_back(cdb);
        return out;
    }

private:
    void answer(device::RequestBlock& srb) {
        using namespace device;
        const uint8_t op = srb.cdb[0];
        if (op == 0x12) return FakeTransport::inquiryDevice(0x01, inquiry())(srb);
        if (op != 0x4D) return checkCondition(srb, 0x20);
        const auto it = pages.find(srb.cdb[2] & 0x3F);
        if (failLogSense || it == pages.end()) {
            srb.residual = srb.bufferLength;  // nothing transferred
            return checkCondition(srb, 0x24);
        }
        const uint32_t allocation = (uint32_t{srb.cdb[7]} << 8) | srb.cdb[8];
        const uint32_t n = std::min<uint32_t>({allocation, srb.bufferLength, static_cast<uint32_t>(it->second.size())});
        std::copy_n(it->second.begin(), n, srb.buffer);
        srb.residual = srb.bufferLength - n;
        if (failAfterData) return checkCondition(srb, 0x00, 0x01);
        srb.status.store(srb_status::Complete);
    }

    static std::vector<uint8_t> inquiry() {
        std::vector<uint8_t> id(56, 0);
        id[0] = 0x01;
        id[4] = 51;
        const std::string_view product = "SKTX FAKE       ";
        std::copy(product.begin(), product.end(), id.begin() + 16);
        id[36] = 0xA1;  // family 10
        return id;
    }

    static void checkCondition(device::RequestBlock& srb, uint8_t asc, uint8_t senseKey = 0x05) {
        srb.targetStatus = device::target_status::CheckCondition;
        srb.senseArea.fill(0);
        srb.senseArea[0] = 0x70;
        srb.senseArea[2] = senseKey;
        srb.senseArea[7] = 10;
        srb.senseArea[12] = asc;
        srb.senseLength = 18;
        srb.status.store(device::srb_status::Error);
    }
};

}  // namespace vexal::testing
