#include "device/device_library.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "device/buffer_table.h"
#include "device/transport_device.h"
#include "support/fake_transport.h"

using namespace vexal::device;
using vexal::testing::FakeTransport;

namespace {

class DeviceLibraryTest : public ::testing::Test {
protected:
    void SetUp() override { transport = std::make_shared<FakeTransport>(); }
    void TearDown() override {
        DevFreeList();
        DevSetTransport(nullptr);
    }
    void enumerate() {
        DevSetTransport(transport);
        ASSERT_EQ(DevEnumerate(), 0);
    }
    std::shared_ptr<FakeTransport> transport;
};

TEST_F(DeviceLibraryTest, HandlesFollowEnumerationOrderAndLunProbingStopsAtFirstSilentLun) {
    transport->adapters = 2;
    transport->devices[{0, 3, 0}] = FakeTransport::inquiryDevice(1);
    transport->devices[{0, 3, 2}] = FakeTransport::inquiryDevice(1);  // behind a silent LUN 1
    transport->devices[{0, 5, 0}] = FakeTransport::inquiryDevice(8);
    transport->devices[{0, 5, 1}] = FakeTransport::inquiryDevice(1);
    transport->devices[{1, 0, 0}] = FakeTransport::inquiryDevice(0);
    enumerate();

    ASSERT_EQ(DevCount(), 4);
    const DeviceAddress expected[] = {{0, 3, 0}, {0, 5, 0}, {0, 5, 1}, {1, 0, 0}};
    int handle = -1;
    const uint8_t* identity = nullptr;
    size_t length = 0;
    ASSERT_EQ(DevFirst(&handle, &identity, &length), 0);
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            ASSERT_EQ(DevNext(&handle, &identity, &length), 0);
        }
        EXPECT_EQ(handle, i);
        EXPECT_EQ(length, 56u);
        DeviceAddress a;
        ASSERT_EQ(DevGetAddress(handle, &a.hostAdapter, &a.target, &a.lun), 0);
        EXPECT_EQ(a, expected[i]) << i;
    }
    // Past the end: failure, outputs untouched.
    const uint8_t* sentinel = reinterpret_cast<const uint8_t*>(&handle);
    identity = sentinel;
    handle = 77;
    length = 9;
    EXPECT_EQ(DevNext(&handle, &identity, &length), 1);
    EXPECT_EQ(handle, 77);
    EXPECT_EQ(identity, sentinel);
    EXPECT_EQ(length, 9u);

    // Every INQUIRY of the scan, the identity refresh included, leaves byte 1's old LUN
    // bits clear, LUN 1 too: the transport addresses the LUN.
    int inquiries = 0;
    for (const auto& cdb : transport->cdbs) {
        if (cdb[0] != 0x12) continue;
        ++inquiries;
        EXPECT_EQ(cdb[1], 0x00);
    }
    EXPECT_EQ(inquiries, 8);  // a probe and a refresh per device
}

TEST_F(DeviceLibraryTest, TransportThatListsItsDevicesHasLunsBehindAGap) {
    transport->listsDevices = true;
    transport->devices[{0, 3, 1}] = FakeTransport::inquiryDevice(1);  // LUN 0 deleted, or not opened
    transport->devices[{0, 3, 5}] = FakeTransport::inquiryDevice(1);
    transport->devices[{0, 4, 255}] = FakeTransport::inquiryDevice(8);
    enumerate();

    ASSERT_EQ(DevCount(), 3);
    const DeviceAddress expected[] = {{0, 3, 1}, {0, 3, 5}, {0, 4, 255}};
    for (int i = 0; i < 3; ++i) {
        DeviceAddress a;
        ASSERT_EQ(DevGetAddress(i, &a.hostAdapter, &a.target, &a.lun), 0);
        EXPECT_EQ(a, expected[i]) << i;
    }
}

TEST_F(DeviceLibraryTest, HandlesAreGoneAfterFreeList) {
    transport->devices[{0, 0, 0}] = FakeTransport::inquiryDevice(1);
    enumerate();
    ASSERT_EQ(DevTestUnitReady(0), 0);
    DevFreeList();
    uint8_t sense[16];
    EXPECT_EQ(DevTestUnitReady(0), 1);
    EXPECT_EQ(DevLastError(0), -1);
    EXPECT_EQ(DevTimeout(0, 0, 0), -1);
    EXPECT_EQ(DevGetStatus(0, sense, 16), 1);
    EXPECT_EQ(DevReadBuffer(0, sense, 0, 1), 1);
    EXPECT_EQ(DevWriteBuffer(0, sense, 0, 1), 1);
    EXPECT_EQ(DevGetAddress(0, nullptr, nullptr, nullptr), 1);
}

TEST_F(DeviceLibraryTest, ZeroTransferHasNoDataPhaseWhateverTheDirection) {
    uint8_t seenFlags = 0xFF;
    uint8_t* seenBuffer = reinterpret_cast<uint8_t*>(1);
    transport->devices[{0, 0, 0}] = [&](RequestBlock& srb) {
        if (srb.cdb[0] == 0x12) return FakeTransport::inquiryDevice(1)(srb);
        seenFlags = srb.flags;
        seenBuffer = srb.buffer;
        srb.status.store(srb_status::Complete);
    };
    enumerate();
    const uint8_t cdb[6] = {0x0A, 0, 0, 0, 0, 0};
    ASSERT_EQ(DevExecute(0, cdb, 6, 0, 1), 0);
    EXPECT_EQ(seenFlags & (srb_flags::DataIn | srb_flags::DataOut), 0);
    EXPECT_EQ(seenBuffer, nullptr);

    ASSERT_EQ(DevExecute(0, cdb, 6, 512, 0x100), 0);  // only the low byte of toDevice counts
    EXPECT_EQ(seenFlags & srb_flags::DataIn, srb_flags::DataIn);
    ASSERT_EQ(DevExecute(0, cdb, 6, 512, 1), 0);
    EXPECT_EQ(seenFlags & srb_flags::DataOut, srb_flags::DataOut);
}

TEST_F(DeviceLibraryTest, ReadBufferBeyondUsedSizeCopiesNothing) {
    transport->devices[{0, 0, 0}] = [](RequestBlock& srb) {
        if (srb.buffer) std::memset(srb.buffer, 0xAB, srb.bufferLength);
        srb.status.store(srb_status::Complete);
    };
    enumerate();
    const uint8_t cdb[6] = {0x08, 0, 0, 0, 8, 0};
    ASSERT_EQ(DevExecute(0, cdb, 6, 8, 0), 0);
    uint8_t data[16];
    std::memset(data, 0x11, sizeof data);
    EXPECT_EQ(DevReadBuffer(0, data, 0, 16), 0);
    EXPECT_EQ(data[0], 0x11);
    EXPECT_EQ(DevReadBuffer(0, data, 4, 8), 0);
    EXPECT_EQ(data[0], 0x11);
    EXPECT_EQ(DevReadBuffer(0, data, 0, 8), 0);
    EXPECT_EQ(data[7], 0xAB);
    EXPECT_EQ(data[8], 0x11);
}

TEST_F(DeviceLibraryTest, ShortDataInLeavesNoStaleBytes) {
    uint32_t send = 8;
    transport->devices[{0, 0, 0}] = [&](RequestBlock& srb) {
        if (srb.buffer) {
            std::memset(srb.buffer, 0x5A, send);
            srb.residual = srb.bufferLength - send;
        }
        srb.status.store(srb_status::Complete);
    };
    enumerate();
    const uint8_t cdb[6] = {0x08, 0, 0, 0, 16, 0};
    send = 16;
    ASSERT_EQ(DevExecute(0, cdb, 6, 16, 0), 0);
    send = 4;
    ASSERT_EQ(DevExecute(0, cdb, 6, 16, 0), 0);
    uint8_t data[16];
    ASSERT_EQ(DevReadBuffer(0, data, 0, 16), 0);
    EXPECT_EQ(data[3], 0x5A);
    EXPECT_EQ(data[4], 0x00);
    EXPECT_EQ(data[15], 0x00);
}

TEST_F(DeviceLibraryTest, DataInCountsOnlyAsFarAsTheDeviceIsKnownToHaveSentIt) {
    // Like the kernel's SG_IO: on CHECK CONDITION a residual of 0 and the previous
    // command's bytes in the buffer.
    std::vector<uint8_t> sense;
    transport->devices[{0, 0, 0}] = [&](RequestBlock& srb) {
        if (srb.buffer) std::memset(srb.buffer, 0x5A, srb.bufferLength);
        srb.residual = 0;
        if (sense.empty()) return srb.status.store(srb_status::Complete);
        srb.targetStatus = target_status::CheckCondition;
        std::copy(sense.begin(), sense.end(), srb.senseArea.begin());
        srb.senseLength = static_cast<uint8_t>(sense.size());
        srb.status.store(srb_status::Error);
    };
    enumerate();
    const uint8_t read[6] = {0x08, 0x00, 0x00, 0x00, 0x10, 0x00};  // 16 bytes, variable
    ASSERT_EQ(DevExecute(0, read, 6, 16, 0), 0);
    EXPECT_EQ(DevGetTransferred(0), 16);

    struct Case {
        std::vector<uint8_t> sense;
        int64_t expected;
    };
    const Case cases[] = {
        {{0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x20, 0x00}, 0},  // refused: no data
        {{0xF0, 0, 0x20, 0, 0, 0, 6, 10, 0, 0, 0, 0, 0, 0}, 10},       // ILI, residue 6
    };
    for (const Case& c : cases) {
        sense = c.sense;
        EXPECT_EQ(DevExecute(0, read, 6, 16, 0), 1);
        EXPECT_EQ(DevGetTransferred(0), c.expected);
        uint8_t data[16];
        ASSERT_EQ(DevReadBuffer(0, data, 0, 16), 0);
        for (size_t i = 0; i < 16; ++i)
            EXPECT_EQ(data[i], i < static_cast<size_t>(c.expected) ? 0x5A : 0x00) << i;
    }
    EXPECT_EQ(DevGetTransferred(7), -1);
}

TEST_F(DeviceLibraryTest, PassThroughFailureKeepsItsErrnoAndNamesTheNode) {
    int error = ENODEV;
    transport->node = "/dev/sg9 (opened read-only)";
    transport->devices[{0, 0, 0}] = [&](RequestBlock& srb) {
        if (srb.cdb[0] == 0x12) return FakeTransport::inquiryDevice(1)(srb);
        srb.systemError = error;
        srb.status.store(error ? srb_status::InvalidSrb : srb_status::Complete);
    };
    enumerate();
    EXPECT_EQ(DevTestUnitReady(0), 1);
    EXPECT_EQ(DevLastError(0), 224);
    EXPECT_EQ(DevGetSystemError(0), ENODEV);
    EXPECT_EQ(DevSystemErrorText(0), "/dev/sg9 (opened read-only): No such device");
    error = 0;
    EXPECT_EQ(DevTestUnitReady(0), 0);
    EXPECT_EQ(DevGetSystemError(0), 0);
    EXPECT_EQ(DevSystemErrorText(0), "");
    EXPECT_EQ(DevGetSystemError(7), -1);
}

TEST_F(DeviceLibraryTest, RefusedResetLeavesNoOldSenseAndSaysWhy) {
    transport->devices[{0, 0, 0}] = [](RequestBlock& srb) {
        if (srb.cdb[0] == 0x12) return FakeTransport::inquiryDevice(1)(srb);
        srb.targetStatus = target_status::CheckCondition;
        srb.senseArea[0] = 0x70;
        srb.senseArea[2] = 0x05;
        srb.senseLength = 18;
        srb.status.store(srb_status::Error);
    };
    enumerate();
    EXPECT_EQ(DevTestUnitReady(0), 1);
    ASSERT_EQ(DevGetSenseLength(0), 18);

    transport->resetErrno = EACCES;
    EXPECT_EQ(DevResetDevice(0), 1);
    EXPECT_EQ(DevGetSenseLength(0), 0);
    EXPECT_EQ(DevLastError(0), 224);
    EXPECT_EQ(DevSystemErrorText(0), "Permission denied");

    transport->resetErrno = 0;
    EXPECT_EQ(DevResetDevice(0), 0);
    EXPECT_EQ(DevLastError(0), 0);
    EXPECT_EQ(DevGetSystemError(0), 0);
}

TEST_F(DeviceLibraryTest, SenseIsKeptAndCopiedUpToTheCallersLength) {
    transport->devices[{0, 0, 0}] = [](RequestBlock& srb) {
        if (srb.cdb[0] == 0x12) return FakeTransport::inquiryDevice(1)(srb);
        srb.targetStatus = target_status::CheckCondition;
        srb.senseLength = static_cast<uint8_t>(kMaxSense);
        for (size_t i = 0; i < kMaxSense; ++i) srb.senseArea[i] = static_cast<uint8_t>(i + 1);
        srb.senseArea[2] = 0x08;  // blank check
        srb.status.store(srb_status::Error);
    };
    enumerate();
    EXPECT_EQ(DevTestUnitReady(0), 1);
    EXPECT_EQ(DevGetSenseLength(0), 64);
    EXPECT_EQ(DevGetTargetStatus(0), 2);
    uint8_t sense[80];
    std::memset(sense, 0xEE, sizeof sense);
    EXPECT_EQ(DevGetStatus(0, sense, 16), 0);  // failed at the target: no transport error
    EXPECT_EQ(sense[15], 16);
    EXPECT_EQ(sense[16], 0xEE);
    EXPECT_EQ(DevGetStatus(0, sense, 80), 0);
    EXPECT_EQ(sense[63], 64);
    EXPECT_EQ(sense[64], 0xEE);
}

TEST_F(DeviceLibraryTest, CompletionCodesAndLastErrors) {
    struct Case {
        uint8_t status;
        uint8_t haStatus;
        uint8_t senseKey;
        int expectCode;
        int expectLastError;
    };
    const Case cases[] = {
        {srb_status::Complete, 0, 0, completion::Good, 0},
        {srb_status::Aborted, 0, 0, completion::Failed, 2},
        {srb_status::InvalidSrb, 0, 0, completion::Failed, 224},
        {srb_status::ManagerBusy, 0, 0, completion::Failed, 230},
        {srb_status::Error, ha_status::BusReset, 0, completion::Failed, 14},
        {srb_status::Error, ha_status::UnexpectedBusFree, 0, completion::Failed, 19},
        {srb_status::Error, 0, 6, completion::UnitAttention, 0},
        {srb_status::Error, 0, 3, completion::Failed, 0},
        {srb_status::NoDevice, 0, 0, completion::Invalid, 0x82},
    };
    Case current{};
    transport->devices[{0, 0, 0}] = [&](RequestBlock& srb) {
        if (srb.cdb[0] == 0x12) return FakeTransport::inquiryDevice(1)(srb);
        srb.hostAdapterStatus = current.haStatus;
        if (current.senseKey) {
            srb.targetStatus = target_status::CheckCondition;
            srb.senseArea[0] = 0x70;
            srb.senseArea[2] = current.senseKey;
            srb.senseLength = 18;
        }
        srb.status.store(current.status);
    };
    enumerate();
    TransportDevice* device = DevTransportDevice(0);
    ASSERT_NE(device, nullptr);
    for (const Case& c : cases) {
        current = c;
        const uint8_t cdb[6] = {0x00, 0, 0, 0, 0, 0};
        EXPECT_EQ(DevExecute(0, cdb, 6, 0, 0), c.expectCode == completion::Good ? 0 : 1);
        EXPECT_EQ(DevLastError(0), c.expectLastError) << int(c.status) << "/" << int(c.haStatus);
    }
    // Whatever happened, the device is free for the next command.
    current = {srb_status::Complete, 0, 0, completion::Good, 0};
    EXPECT_EQ(DevTestUnitReady(0), 0);
}

TEST_F(DeviceLibraryTest, HostAdapterTimeoutIsResentThenGivenUp) {
    int executes = 0;
    transport->devices[{0, 0, 0}] = [&](RequestBlock& srb) {
        if (srb.cdb[0] == 0x12) return FakeTransport::inquiryDevice(1)(srb);
        ++executes;
        srb.hostAdapterStatus = ha_status::SelectionTimeout;
        srb.status.store(srb_status::Error);
    };
    enumerate();
    DevTransportDevice(0)->setWaitLimits({.maxPolls = 1000, .maxRetries = 3, .retrySleepMs = 1, .pollWaitMs = 10});
    EXPECT_EQ(DevTestUnitReady(0), 1);
    EXPECT_EQ(executes, 4);  // the first send and three resends
    EXPECT_EQ(DevLastError(0), 17);

    // A command that succeeds on a resend ends GOOD.
    executes = 0;
    transport->devices[{0, 0, 0}] = [&](RequestBlock& srb) {
        srb.hostAdapterStatus = ++executes < 2 ? ha_status::Timeout : 0;
        srb.status.store(executes < 2 ? srb_status::Error : srb_status::Complete);
    };
    EXPECT_EQ(DevTestUnitReady(0), 0);
    EXPECT_EQ(executes, 2);
}

TEST_F(DeviceLibraryTest, AfterATimeOutOnlyCommandsThatReadStateAreSentAgain) {
    const struct Case {
        const char* name;
        std::vector<uint8_t> cdb;
        uint8_t haStatus;
        int sends;
        bool withheld;
    } cases[] = {
        {"TEST UNIT READY", {0x00, 0, 0, 0, 0, 0}, ha_status::CommandTimeout, 3, false},
        {"INQUIRY", {0x12, 0, 0, 0, 0, 0}, ha_status::Timeout, 3, false},
        {"LOG SENSE", {0x4D, 0, 0x40, 0, 0, 0, 0, 0, 0, 0}, ha_status::SelectionTimeout, 3, false},
        {"WRITE(6)", {0x0A, 1, 0, 0, 1, 0}, ha_status::CommandTimeout, 1, true},
        {"WRITE FILEMARKS", {0x10, 0, 0, 0, 1, 0}, ha_status::CommandTimeout, 1, true},
        {"REWIND", {0x01, 0, 0, 0, 0, 0}, ha_status::Timeout, 1, true},
        {"SPACE", {0x11, 1, 0, 0, 1, 0}, ha_status::CommandTimeout, 1, true},
        {"LOCATE(16)", {0x92, 0, 0, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0, 0, 0, 0}, ha_status::CommandTimeout, 1, true},
        {"MODE SELECT(6)", {0x15, 0x10, 0, 0, 0, 0}, ha_status::SelectionTimeout, 1, true},
        {"READ(6): moves the tape", {0x08, 0, 0, 0, 0, 0}, ha_status::CommandTimeout, 1, true},
        {"an opcode nobody listed", {0xC7, 0, 0, 0, 0, 0}, ha_status::CommandTimeout, 1, true},
    };
    bool scanning = true;
    int executes = 0;
    uint8_t haStatus = 0;
    transport->devices[{0, 0, 0}] = [&](RequestBlock& srb) {
        if (scanning) return FakeTransport::inquiryDevice(1)(srb);
        ++executes;
        srb.hostAdapterStatus = haStatus;
        srb.status.store(srb_status::Error);
    };
    enumerate();
    scanning = false;
    // The default limits but for the pauses.
    DevTransportDevice(0)->setWaitLimits({.maxPolls = 1000, .retrySleepMs = 1, .pollWaitMs = 10});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        executes = 0;
        haStatus = c.haStatus;
        EXPECT_EQ(DevExecute(0, c.cdb.data(), static_cast<int>(c.cdb.size()), 0, 0), 1);
        EXPECT_EQ(executes, c.sends);
        EXPECT_EQ(DevLastError(0), c.haStatus);
        TimeoutReport report;
        ASSERT_EQ(DevGetTimeoutReport(0, &report), 0);
        EXPECT_EQ(report.sends, c.sends);
        EXPECT_EQ(report.timeouts, c.sends);
        EXPECT_EQ(report.withheld, c.withheld);
        EXPECT_EQ(report.opcode, c.cdb[0]);
    }
    TimeoutReport report;
    report.sends = 9;
    EXPECT_EQ(DevGetTimeoutReport(7, &report), 1);
    EXPECT_EQ(report.sends, 0);
}

TEST_F(DeviceLibraryTest, NoResendStartsAfterTheResendWindow) {
    int executes = 0;
    transport->devices[{0, 0, 0}] = [&](RequestBlock& srb) {
        if (srb.cdb[0] == 0x12) return FakeTransport::inquiryDevice(1)(srb);
        ++executes;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));  // a slow time-out
        srb.hostAdapterStatus = ha_status::CommandTimeout;
        srb.status.store(srb_status::Error);
    };
    enumerate();
    DevTransportDevice(0)->setWaitLimits(
        {.maxPolls = 1000, .maxRetries = 5, .retrySleepMs = 1, .pollWaitMs = 10, .resendWindowMs = 20});
    EXPECT_EQ(DevTestUnitReady(0), 1);
    EXPECT_EQ(executes, 1);
    TimeoutReport report;
    DevGetTimeoutReport(0, &report);
    EXPECT_EQ(report.sends, 1);
    EXPECT_FALSE(report.withheld);
    EXPECT_GE(report.waitedMs, 30);

    // The next command starts with an empty report, even when it is refused before it is sent.
    const uint8_t tooLong[17] = {};
    EXPECT_EQ(DevExecute(0, tooLong, 17, 0, 0), 1);
    DevGetTimeoutReport(0, &report);
    EXPECT_EQ(report.timeouts, 0);
    EXPECT_EQ(report.sends, 0);
}

TEST_F(DeviceLibraryTest, BadCdbLengthIsRefused) {
    transport->devices[{0, 0, 0}] = FakeTransport::inquiryDevice(1);
    enumerate();
    const uint8_t cdb[17] = {};
    EXPECT_EQ(DevExecute(0, cdb, 0, 0, 0), 1);
    EXPECT_EQ(DevExecute(0, cdb, 17, 0, 0), 1);
    EXPECT_EQ(DevExecute(0, nullptr, 6, 0, 0), 1);
}

TEST_F(DeviceLibraryTest, TimeoutReadSetAndRefused) {
    transport->devices[{0, 0, 0}] = FakeTransport::inquiryDevice(1);
    transport->timeoutSeconds = 30;
    enumerate();
    EXPECT_EQ(DevTimeout(0, 0, 0), 30);
    EXPECT_EQ(DevTimeout(0, 1, 90), 90);
    EXPECT_EQ(DevTimeout(0, 0, 0), 90);
    transport->timeoutsSupported = false;
    EXPECT_EQ(DevTimeout(0, 0, 0), 0);
    EXPECT_EQ(DevTimeout(0, 1, 5), 0);
}

TEST_F(DeviceLibraryTest, InquiryCopiesIdentityAndPageC1) {
    std::vector<uint8_t> id(56, 0);
    std::memcpy(&id[8], "KORVANE SKTX VIRTUAL    V100", 28);
    id[36] = 0xA1;
    transport->devices[{0, 0, 0}] = FakeTransport::inquiryDevice(1, id);
    enumerate();
    const uint8_t* identity = nullptr;
    size_t length = 0;
    ASSERT_EQ(DevGetIdentity(0, &identity, &length), 0);
    EXPECT_EQ(std::memcmp(identity + 8, "KORVANE ", 8), 0);
    EXPECT_EQ(identity[36], 0xA1);
    uint8_t data[60];
    std::memset(data, 0xEE, sizeof data);
    ASSERT_EQ(DevInquiry(0, data, sizeof data), 0);
    EXPECT_EQ(data[36], 0xA1);
    EXPECT_EQ(data[57], 0x00);  // beyond the 56 bytes asked for: cleared, never stale
    ASSERT_EQ(DevInquiryPageC1(0, data, 8), 0);
    EXPECT_EQ(transport->cdbs.back(), (std::vector<uint8_t>{0x12, 0x01, 0xC1, 0x00, 56, 0x00}));
}

TEST(BufferTableTest, GrowsByHalfAMegabyteKeepsContentsAndReusesSlots) {
    Buffer buffer;
    ASSERT_TRUE(buffer.ensure(10));
    EXPECT_EQ(buffer.capacity(), 10u + Buffer::kGrowth);
    std::memset(buffer.data(), 0x42, buffer.capacity());
    const size_t before = buffer.capacity();
    ASSERT_TRUE(buffer.ensure(before));  // reaching the capacity grows
    EXPECT_EQ(buffer.capacity(), before + Buffer::kGrowth);
    EXPECT_EQ(buffer.data()[before - 1], 0x42);
    ASSERT_TRUE(buffer.setUsed(4));
    ASSERT_TRUE(buffer.ensure(1));  // never shrinks
    EXPECT_EQ(buffer.capacity(), before + Buffer::kGrowth);

    BufferTable table;
    for (int i = 0; i < 6; ++i) table.allocate();
    EXPECT_EQ(table.slotCount(), 10u);
    table.release(2);
    EXPECT_EQ(table.allocate(), 2u);
}

}  // namespace
