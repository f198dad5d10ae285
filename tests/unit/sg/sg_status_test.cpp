#include "device/sg/sg_status.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

using namespace vexal::device;
using namespace vexal::device::sg;

namespace {

// A finished header as the kernel returns it.
sg_io_hdr finished(uint16_t host, uint16_t driverStatus, uint8_t scsi, uint8_t senseWritten = 0,
                   uint8_t senseRoom = 64) {
    sg_io_hdr hdr{};
    hdr.interface_id = 'S';
    hdr.host_status = host;
    hdr.driver_status = driverStatus;
    hdr.status = scsi;
    hdr.masked_status = static_cast<unsigned char>(scsi >> 1);
    hdr.sb_len_wr = senseWritten;
    hdr.mx_sb_len = senseRoom;
    return hdr;
}

std::vector<uint8_t> senseBytes(size_t count) {
    std::vector<uint8_t> bytes(count);
    std::iota(bytes.begin(), bytes.end(), uint8_t{0x70});
    return bytes;
}

struct Expected {
    uint8_t status;
    uint8_t hostAdapterStatus;
};

struct StatusCase {
    const char* what;
    uint16_t host;
    uint16_t driverStatus;
    uint8_t scsi;
    Expected expected;
};

void expectMapping(const StatusCase& c) {
    RequestBlock srb;
    srb.senseLength = 64;
    applySgResult(finished(c.host, c.driverStatus, c.scsi), {}, srb);
    EXPECT_EQ(srb.status.load(), c.expected.status) << c.what;
    EXPECT_EQ(srb.hostAdapterStatus, c.expected.hostAdapterStatus) << c.what;
    EXPECT_EQ(srb.targetStatus, c.scsi) << c.what;
}

TEST(SgStatusMapping, HostStatusesMapOntoHostAdapterStatuses) {
    const StatusCase cases[] = {
        {"ok", did::Ok, 0, 0, {srb_status::Complete, ha_status::Ok}},
        {"no connect", did::NoConnect, 0, 0, {srb_status::Error, ha_status::SelectionTimeout}},
        {"bus busy", did::BusBusy, 0, 0, {srb_status::Error, ha_status::Timeout}},
        {"time out", did::TimeOut, 0, 0, {srb_status::Error, ha_status::CommandTimeout}},
        {"bad target", did::BadTarget, 0, 0, {srb_status::Error, ha_status::SelectionTimeout}},
        {"abort", did::Abort, 0, 0, {srb_status::Aborted, ha_status::Ok}},
        {"parity", did::Parity, 0, 0, {srb_status::Error, ha_status::ParityError}},
        {"error", did::Error, 0, 0, {srb_status::Error, ha_status::PhaseError}},
        {"reset", did::Reset, 0, 0, {srb_status::Error, ha_status::BusReset}},
        {"bad interrupt", did::BadIntr, 0, 0, {srb_status::Error, ha_status::PhaseError}},
        {"passthrough", did::Passthrough, 0, 0, {srb_status::Complete, ha_status::Ok}},
        {"soft error", did::SoftError, 0, 0, {srb_status::Error, ha_status::Timeout}},
        {"immediate retry", did::ImmRetry, 0, 0, {srb_status::Error, ha_status::Timeout}},
        {"requeue", did::Requeue, 0, 0, {srb_status::Error, ha_status::Timeout}},
        {"transport disrupted", did::TransportDisrupted, 0, 0, {srb_status::Error, ha_status::Timeout}},
        {"transport failfast", did::TransportFailfast, 0, 0, {srb_status::Error, ha_status::SelectionTimeout}},
        {"target failure", did::TargetFailure, 0, 0, {srb_status::Error, ha_status::Ok}},
        {"nexus failure", did::NexusFailure, 0, 0x18, {srb_status::Error, ha_status::Ok}},
        {"alloc failure", did::AllocFailure, 0, 2, {srb_status::Error, ha_status::Ok}},
        {"medium error", did::MediumError, 0, 2, {srb_status::Error, ha_status::Ok}},
        {"transport marginal", did::TransportMarginal, 0, 0, {srb_status::Error, ha_status::Timeout}},
        {"unknown host status", 0x55, 0, 0, {srb_status::Error, ha_status::PhaseError}},
        // The host status wins over whatever the target reported.
        {"reset with check condition", did::Reset, 0, 2, {srb_status::Error, ha_status::BusReset}},
        {"abort with busy", did::Abort, 0, 8, {srb_status::Aborted, ha_status::Ok}},
    };
    for (const StatusCase& c : cases) expectMapping(c);
}

TEST(SgStatusMapping, DriverStatusesCountOnlyWhenTheHostIsFine) {
    const StatusCase cases[] = {
        {"timeout", 0, driver::Timeout, 0, {srb_status::Error, ha_status::CommandTimeout}},
        {"timeout beats check condition", 0, driver::Timeout, 2, {srb_status::Error, ha_status::CommandTimeout}},
        {"timeout with suggestion bits", 0, 0x20 | driver::Timeout, 0, {srb_status::Error, ha_status::CommandTimeout}},
        {"busy", 0, driver::Busy, 0, {srb_status::Error, ha_status::Timeout}},
        {"soft", 0, driver::Soft, 0, {srb_status::Error, ha_status::Timeout}},
        {"media", 0, driver::Media, 0, {srb_status::Error, ha_status::PhaseError}},
        {"error", 0, driver::Error, 0, {srb_status::Error, ha_status::PhaseError}},
        {"hard", 0, driver::Hard, 0, {srb_status::Error, ha_status::PhaseError}},
        {"invalid", 0, driver::Invalid, 0, {srb_status::InvalidSrb, ha_status::Ok}},
        {"unknown driver status", 0, 0x0C, 0, {srb_status::Error, ha_status::PhaseError}},
        {"sense with good status", 0, driver::Sense, 0, {srb_status::Complete, ha_status::Ok}},
        {"sense with check condition", 0, driver::Sense, 2, {srb_status::Error, ha_status::Ok}},
        // The target's status byte says more than a generic driver error.
        {"error with check condition", 0, driver::Error, 2, {srb_status::Error, ha_status::Ok}},
        // A host fault is reported before a driver time-out.
        {"host reset and driver timeout", did::Reset, driver::Timeout, 0, {srb_status::Error, ha_status::BusReset}},
    };
    for (const StatusCase& c : cases) expectMapping(c);
}

TEST(SgStatusMapping, ScsiStatusByteBecomesTheTargetStatus) {
    const StatusCase cases[] = {
        {"good", 0, 0, target_status::Good, {srb_status::Complete, ha_status::Ok}},
        {"check condition", 0, 0, target_status::CheckCondition, {srb_status::Error, ha_status::Ok}},
        {"condition met", 0, 0, target_status::ConditionMet, {srb_status::Error, ha_status::Ok}},
        {"busy", 0, 0, target_status::Busy, {srb_status::Error, ha_status::Ok}},
        {"reservation conflict", 0, 0, target_status::ReservationConflict, {srb_status::Error, ha_status::Ok}},
        {"task set full", 0, 0, target_status::TaskSetFull, {srb_status::Error, ha_status::Ok}},
        {"task aborted", 0, 0, target_status::TaskAborted, {srb_status::Error, ha_status::Ok}},
    };
    for (const StatusCase& c : cases) expectMapping(c);

    // Only the shifted copy filled in: the status byte is rebuilt from it.
    sg_io_hdr hdr = finished(0, 0, 0);
    hdr.masked_status = 0x01;
    RequestBlock srb;
    applySgResult(hdr, {}, srb);
    EXPECT_EQ(srb.status.load(), srb_status::Error);
    EXPECT_EQ(srb.targetStatus, target_status::CheckCondition);
}

TEST(SgStatusMapping, SenseBytesAreCopiedWhenValidAndCut) {
    struct SenseCase {
        const char* what;
        uint16_t host;
        uint16_t driverStatus;
        uint8_t scsi;
        uint8_t written;     // sb_len_wr
        uint8_t room;        // mx_sb_len
        size_t available;    // bytes in the sense buffer handed over
        uint8_t expectedLength;
    };
    const SenseCase cases[] = {
        {"check condition", 0, 0, 2, 18, 64, 64, 18},
        {"check condition with driver sense", 0, driver::Sense, 2, 32, 64, 64, 32},
        {"cut at 64", 0, driver::Sense, 2, 96, 255, 96, 64},
        {"cut at the room asked for", 0, 0, 2, 18, 14, 64, 14},
        {"cut at the buffer handed over", 0, 0, 2, 40, 64, 20, 20},
        {"driver sense with good status", 0, driver::Sense, 0, 18, 64, 64, 18},
        {"driver sense with busy", 0, driver::Sense, 8, 18, 64, 64, 18},
        {"no sense flag, good status: ignored", 0, 0, 0, 18, 64, 64, 0},
        {"busy without driver sense: ignored", 0, 0, 8, 18, 64, 64, 0},
        {"check condition without bytes", 0, 0, 2, 0, 64, 64, 0},
        {"host fault keeps the sense", did::Reset, driver::Sense, 2, 18, 64, 64, 18},
    };
    for (const SenseCase& c : cases) {
        const std::vector<uint8_t> sense = senseBytes(c.available);
        RequestBlock srb;
        srb.senseLength = 64;
        srb.senseArea.fill(0xEE);
        applySgResult(finished(c.host, c.driverStatus, c.scsi, c.written, c.room), sense, srb);
        ASSERT_EQ(srb.senseLength, c.expectedLength) << c.what;
        for (size_t i = 0; i < c.expectedLength; ++i) {
            ASSERT_EQ(srb.senseArea[i], sense[i]) << c.what << " byte " << i;
        }
        if (c.expectedLength < kMaxSense) {
            EXPECT_EQ(srb.senseArea[c.expectedLength], 0xEE) << c.what;
        }
    }
}

TEST(SgStatusMapping, ResidualIsBoundedByTheTransferLength) {
    struct ResidCase {
        int resid;
        unsigned int length;
        uint32_t expected;
    };
    for (const ResidCase c : {ResidCase{0, 512, 0}, {100, 512, 100}, {512, 512, 512}, {-4, 512, 0},
                              {4096, 512, 512}, {7, 0, 0}}) {
        sg_io_hdr hdr = finished(0, 0, 0);
        hdr.resid = c.resid;
        hdr.dxfer_len = c.length;
        RequestBlock srb;
        srb.residual = 99;
        applySgResult(hdr, {}, srb);
        EXPECT_EQ(srb.residual, c.expected) << c.resid << " of " << c.length;
    }
}

TEST(SgStatusMapping, EveryTableEntryIsFoundByItsCode) {
    for (const SgStatusRule& rule : kHostStatusRules) EXPECT_EQ(&hostStatusRule(rule.code), &rule) << rule.name;
    for (const SgStatusRule& rule : kDriverStatusRules) EXPECT_EQ(&driverStatusRule(rule.code), &rule) << rule.name;
    EXPECT_EQ(&hostStatusRule(0x1234), &kUnknownHostStatus);
}

class SgHeaderTest : public ::testing::Test {
protected:
    SgHeaderTest() {
        srb.cdbLength = 6;
        srb.cdb = {0x12, 0, 0, 0, 32, 0};
        srb.buffer = data.data();
        srb.bufferLength = 32;
        srb.senseLength = 64;
    }
    std::array<uint8_t, 64> data{};
    std::array<uint8_t, kMaxSense> sense{};
    RequestBlock srb;
    sg_io_hdr hdr{};
};

TEST_F(SgHeaderTest, DirectionFollowsTheFlagsAndTheLength) {
    struct DirectionCase {
        const char* what;
        uint8_t flags;
        uint32_t length;
        int direction;
        unsigned int expectedLength;
    };
    const DirectionCase cases[] = {
        {"data in", srb_flags::DataIn | srb_flags::EventNotify, 32, SG_DXFER_FROM_DEV, 32},
        {"data out", srb_flags::DataOut, 64, SG_DXFER_TO_DEV, 64},
        {"no direction", srb_flags::EventNotify, 32, SG_DXFER_NONE, 0},
        {"data in, length 0", srb_flags::DataIn, 0, SG_DXFER_NONE, 0},
        {"data out, length 0", srb_flags::DataOut, 0, SG_DXFER_NONE, 0},
    };
    for (const DirectionCase& c : cases) {
        srb.flags = c.flags;
        srb.bufferLength = c.length;
        ASSERT_TRUE(buildSgHeader(srb, kDefaultTimeoutSeconds, sense, hdr)) << c.what;
        EXPECT_EQ(hdr.interface_id, 'S') << c.what;
        EXPECT_EQ(hdr.dxfer_direction, c.direction) << c.what;
        EXPECT_EQ(hdr.dxfer_len, c.expectedLength) << c.what;
        EXPECT_EQ(hdr.dxferp, c.expectedLength ? static_cast<void*>(data.data()) : nullptr) << c.what;
        EXPECT_EQ(hdr.cmd_len, 6) << c.what;
        EXPECT_EQ(hdr.cmdp, srb.cdb.data()) << c.what;
    }
}

TEST_F(SgHeaderTest, BlocksThatCannotBeCarriedOutAreRefused) {
    srb.flags = srb_flags::DataIn | srb_flags::DataOut;
    EXPECT_FALSE(buildSgHeader(srb, 1, sense, hdr)) << "data both ways";
    srb.flags = srb_flags::DataIn;
    srb.buffer = nullptr;
    EXPECT_FALSE(buildSgHeader(srb, 1, sense, hdr)) << "no buffer";
    srb.buffer = data.data();
    srb.cdbLength = 0;
    EXPECT_FALSE(buildSgHeader(srb, 1, sense, hdr)) << "no CDB";
    srb.cdbLength = 17;
    EXPECT_FALSE(buildSgHeader(srb, 1, sense, hdr)) << "CDB too long";
    srb.cdbLength = 16;
    EXPECT_TRUE(buildSgHeader(srb, 1, sense, hdr));
}

TEST_F(SgHeaderTest, SenseRoomIsTheRoomAskedForUpTo64) {
    for (const auto& [asked, room] : {std::pair{14, 14}, {64, 64}, {200, 64}, {0, 0}}) {
        srb.senseLength = static_cast<uint8_t>(asked);
        ASSERT_TRUE(buildSgHeader(srb, 1, sense, hdr));
        EXPECT_EQ(hdr.mx_sb_len, room) << asked;
        EXPECT_EQ(hdr.sbp, room ? sense.data() : nullptr) << asked;
    }
    srb.senseLength = 64;
    std::array<uint8_t, 8> small{};
    ASSERT_TRUE(buildSgHeader(srb, 1, small, hdr));
    EXPECT_EQ(hdr.mx_sb_len, 8);
}

TEST_F(SgHeaderTest, TimeOutIsInMillisecondsAndClamped) {
    for (const auto& [seconds, ms] : {std::pair<uint32_t, unsigned int>{60, 60000},
                                      {kDefaultTimeoutSeconds, 108000000u},
                                      {kMaxTimeoutSeconds, 4294967000u},
                                      {0xFFFFFFFFu, 4294967000u}}) {
        ASSERT_TRUE(buildSgHeader(srb, seconds, sense, hdr));
        EXPECT_EQ(hdr.timeout, ms) << seconds;
    }
}

}  // namespace
