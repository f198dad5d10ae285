#include "device/sg/sg_status.h"

#include <algorithm>
#include <cstring>

namespace vexal::device::sg {

namespace {

template <size_t N>
const SgStatusRule& findRule(const SgStatusRule (&rules)[N], uint16_t code, const SgStatusRule& unknown) {
    for (const SgStatusRule& rule : rules)
        if (rule.code == code) return rule;
    return unknown;
}

// The SCSI status byte; kernels that leave it zero still fill the shifted copy.
uint8_t scsiStatus(const sg_io_hdr& hdr) {
    if (hdr.status != 0) return hdr.status;
    return static_cast<uint8_t>(hdr.masked_status << 1);
}

}  // namespace

const SgStatusRule& hostStatusRule(uint16_t hostStatus) {
    return findRule(kHostStatusRules, hostStatus, kUnknownHostStatus);
}

const SgStatusRule& driverStatusRule(uint16_t driverStatus) {
    return findRule(kDriverStatusRules, driverStatus & driver::Mask, kUnknownDriverStatus);
}

bool buildSgHeader(RequestBlock& srb, uint32_t timeoutSeconds, std::span<uint8_t> sense, sg_io_hdr& hdr) {
    if (srb.cdbLength == 0 || srb.cdbLength > srb.cdb.size()) return false;
    const bool in = srb.flags & srb_flags::DataIn;
    const bool out = srb.flags & srb_flags::DataOut;
    if (in && out) return false;
    const bool data = (in || out) && srb.bufferLength > 0;
    if (data && !srb.buffer) return false;

    hdr = sg_io_hdr{};
    hdr.interface_id = 'S';
    hdr.dxfer_direction = !data ? SG_DXFER_NONE : in ? SG_DXFER_FROM_DEV : SG_DXFER_TO_DEV;
    hdr.dxfer_len = data ? srb.bufferLength : 0;
    hdr.dxferp = data ? srb.buffer : nullptr;
    hdr.cmd_len = srb.cdbLength;
    hdr.cmdp = srb.cdb.data();
    hdr.mx_sb_len = static_cast<unsigned char>(
        std::min<size_t>({srb.senseLength, kMaxSense, sense.size(), 255}));
    hdr.sbp = hdr.mx_sb_len > 0 ? sense.data() : nullptr;
    hdr.timeout = timeoutMilliseconds(timeoutSeconds);
    return true;
}

void applySgResult(const sg_io_hdr& hdr, std::span<const uint8_t> sense, RequestBlock& srb) {
    const uint8_t target = scsiStatus(hdr);
    const SgStatusRule& host = hostStatusRule(hdr.host_status);
    const SgStatusRule& drv = driverStatusRule(hdr.driver_status);

    uint8_t status = srb_status::Complete;
    uint8_t adapter = ha_status::Ok;
    // The host status comes first: when the transport failed, the target's status byte
    // says nothing. A driver time-out is a transport fault too. Then the target's own
    // status, then any other driver fault.
    if (host.outcome == SgOutcome::HostFault) {
        status = srb_status::Error;
        adapter = host.hostAdapterStatus;
    } else if (host.outcome == SgOutcome::Aborted) {
        status = srb_status::Aborted;
    } else if ((hdr.driver_status & driver::Mask) == driver::Timeout) {
        status = srb_status::Error;
        adapter = ha_status::CommandTimeout;
    } else if (target != target_status::Good) {
        status = srb_status::Error;
    } else if (drv.outcome == SgOutcome::HostFault) {
        status = srb_status::Error;
        adapter = drv.hostAdapterStatus;
    } else if (drv.outcome == SgOutcome::Invalid) {
        status = srb_status::InvalidSrb;
    } else if (host.outcome == SgOutcome::TargetFailure) {
        status = srb_status::Error;
    }

    srb.hostAdapterStatus = adapter;
    srb.targetStatus = target;

    const bool senseValid =
        target == target_status::CheckCondition || (hdr.driver_status & driver::Mask) == driver::Sense;
    const size_t senseCount =
        senseValid ? std::min<size_t>({hdr.sb_len_wr, hdr.mx_sb_len, sense.size(), kMaxSense}) : 0;
    if (senseCount > 0) std::memcpy(srb.senseArea.data(), sense.data(), senseCount);
    srb.senseLength = static_cast<uint8_t>(senseCount);

    const int64_t resid = std::clamp<int64_t>(hdr.resid, 0, hdr.dxfer_len);
    srb.residual = static_cast<uint32_t>(resid);

    srb.status.store(status);
}

}  // namespace vexal::device::sg
