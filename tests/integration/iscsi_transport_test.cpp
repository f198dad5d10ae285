// The iSCSI transport against a real target (tgtd on loopback), through the device
// library as the program uses it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "device/device_address.h"
#include "device/device_library.h"
#include "device/iscsi/iscsi_transport.h"
#include "device/transport_device.h"
#include "integration/tgtd_fixture.h"
#include "integration/watchdog.h"
#include "platform/event.h"

using namespace vexal::device;
using namespace std::chrono_literals;
using vexal::testing::TgtdServer;
using vexal::testing::Watchdog;
using Clock = std::chrono::steady_clock;

namespace {

struct Found {
    int handle;
    DeviceAddress address;
    std::vector<uint8_t> identity;
};

std::vector<Found> listDevices() {
    std::vector<Found> found;
    int handle = -1;
    const uint8_t* identity = nullptr;
    size_t length = 0;
    for (int rc = DevFirst(&handle, &identity, &length); rc == 0; rc = DevNext(&handle, &identity, &length)) {
        Found entry{handle, {}, std::vector<uint8_t>(identity, identity + length)};
        DevGetAddress(handle, &entry.address.hostAdapter, &entry.address.target, &entry.address.lun);
        found.push_back(entry);
    }
    return found;
}

int handleAt(DeviceAddress address) {
    for (const Found& device : listDevices())
        if (device.address == address) return device.handle;
    return -1;
}

std::string text(const std::vector<uint8_t>& data, size_t offset, size_t length) {
    if (data.size() < offset + length) return {};
    return std::string(data.begin() + offset, data.begin() + offset + length);
}

std::vector<uint8_t> senseOf(int handle) {
    std::vector<uint8_t> sense(64);
    DevGetStatus(handle, sense.data(), sense.size());
    sense.resize(static_cast<size_t>(std::max(DevGetSenseLength(handle), 0)));
    return sense;
}

int run(int handle, std::vector<uint8_t> cdb, uint32_t length = 0, bool toDevice = false) {
    return DevExecute(handle, cdb.data(), static_cast<int>(cdb.size()), length, toDevice ? 1 : 0);
}

// A TEST UNIT READY that lets one UNIT ATTENTION pass (a new session or a reset
// reports one).
int testUnitReady(int handle) {
    const int rc = DevTestUnitReady(handle);
    if (rc == 0) return 0;
    const std::vector<uint8_t> sense = senseOf(handle);
    if (sense.size() > 2 && (sense[2] & 0x0F) == 6) return DevTestUnitReady(handle);
    return rc;
}

std::shared_ptr<Transport> connect(const std::vector<std::string>& portals, std::string& note) {
    auto transport = makeIscsiTransport(portals, note);
    DevSetTransport(transport);
    DevEnumerate();
    return transport;
}

constexpr DeviceAddress kController{0, 0, 0};
constexpr DeviceAddress kTape{0, 0, 1};
constexpr DeviceAddress kChanger{0, 0, 2};
constexpr DeviceAddress kSecondController{0, 1, 0};
constexpr DeviceAddress kSecondTape{0, 1, 1};

// Tests that leave the target running: one tgtd for the whole suite.
class IscsiTransportTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server_ = new TgtdServer;
        if (!server_->start(startError_)) {
            delete server_;
            server_ = nullptr;
        }
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(server_, nullptr) << "tgtd could not be started: " << startError_;
        std::string note;
        transport_ = connect({server_->portal()}, note);
        ASSERT_NE(transport_, nullptr);
        EXPECT_EQ(note, "");
    }
    void TearDown() override {
        DevFreeList();
        DevSetTransport(nullptr);
    }

    // Sends one block to the transport directly and returns its status.
    uint8_t send(RequestBlock& srb) {
        EXPECT_EQ(transport_->sendSrb(srb), 0);
        return srb.status.load();
    }
    uint8_t inquiryAt(DeviceAddress address, uint8_t senseRoom = 14) {
        std::array<uint8_t, 36> data{};
        RequestBlock srb;
        srb.hostAdapter = address.hostAdapter;
        srb.target = address.target;
        srb.lun = address.lun;
        srb.flags = srb_flags::DataIn;
        srb.buffer = data.data();
        srb.bufferLength = data.size();
        srb.senseLength = senseRoom;
        srb.cdbLength = 6;
        srb.cdb = {0x12, 0, 0, 0, 36, 0};
        return send(srb);
    }

    static TgtdServer* server_;
    static std::string startError_;
    std::shared_ptr<Transport> transport_;
    Watchdog watchdog_{60s, "an iSCSI transport test"};
};

TgtdServer* IscsiTransportTest::server_ = nullptr;
std::string IscsiTransportTest::startError_;

TEST_F(IscsiTransportTest, ScanFindsEveryLunOfEachTargetInDiscoveryOrder) {
    struct Expected {
        DeviceAddress address;
        uint8_t type;
        const char* product;
    };
    const Expected expected[] = {
        {kController, 0x0C, "Controller"},
        {kTape, 0x01, "VIRTUAL-TAPE"},
        {kChanger, 0x08, "VIRTUAL-CHANGER"},
        {kSecondController, 0x0C, "Controller"},
        {kSecondTape, 0x01, "VIRTUAL-TAPE"},
    };
    const std::vector<Found> found = listDevices();
    ASSERT_EQ(found.size(), std::size(expected));
    for (size_t i = 0; i < found.size(); ++i) {
        SCOPED_TRACE(found[i].address.text());
        EXPECT_EQ(found[i].handle, static_cast<int>(i));
        EXPECT_EQ(found[i].address, expected[i].address);
        ASSERT_EQ(found[i].identity.size(), TransportDevice::kIdentityLength);
        EXPECT_EQ(found[i].identity[0], expected[i].type);
        EXPECT_EQ(text(found[i].identity, 8, 8), "IET     ");
        EXPECT_EQ(text(found[i].identity, 16, 16).rfind(expected[i].product, 0), 0u);
    }
}

TEST_F(IscsiTransportTest, AddressesWithoutADeviceAnswerNoDeviceOrInvalidAdapter) {
    EXPECT_EQ(inquiryAt({0, 0, 3}), srb_status::NoDevice);   // no such LUN on the target
    EXPECT_EQ(inquiryAt({0, 1, 2}), srb_status::NoDevice);
    EXPECT_EQ(inquiryAt({0, 2, 0}), srb_status::NoDevice);   // no target behind ID 2
    EXPECT_EQ(inquiryAt({0, 15, 0}), srb_status::NoDevice);
    EXPECT_EQ(inquiryAt({1, 0, 0}), srb_status::InvalidHostAdapter);
    EXPECT_EQ(inquiryAt(kTape), srb_status::Complete);

    RequestBlock inquiry;
    inquiry.command = SrbCommand::HostAdapterInquiry;
    EXPECT_EQ(send(inquiry), srb_status::Complete);
    EXPECT_EQ(inquiry.adapterCount, 1);
    EXPECT_EQ(inquiry.maxTargets, 16);
}

TEST_F(IscsiTransportTest, GetDeviceTypeAnswersFromTheInquiryData) {
    const struct {
        DeviceAddress address;
        uint8_t status;
        uint8_t type;
    } cases[] = {
        {kTape, srb_status::Complete, 1},
        {kChanger, srb_status::Complete, 8},
        {kController, srb_status::Complete, 0x0C},
        {{0, 0, 7}, srb_status::NoDevice, 0},
        {{0, 3, 0}, srb_status::NoDevice, 0},
    };
    for (const auto& c : cases) {
        RequestBlock srb;
        srb.command = SrbCommand::GetDeviceType;
        srb.hostAdapter = c.address.hostAdapter;
        srb.target = c.address.target;
        srb.lun = c.address.lun;
        EXPECT_EQ(send(srb), c.status) << c.address.text();
        if (c.status == srb_status::Complete) {
            EXPECT_EQ(srb.deviceType, c.type) << c.address.text();
        }
    }
}

TEST_F(IscsiTransportTest, InquiryDataAndVitalProductDataComeBackThroughDevExecute) {
    const int tape = handleAt(kTape);
    ASSERT_GE(tape, 0);
    ASSERT_EQ(run(tape, {0x12, 0, 0, 0, 96, 0}, 96), 0);
    std::vector<uint8_t> data(96);
    DevReadBuffer(tape, data.data(), 0, data.size());
    EXPECT_EQ(data[0], 0x01);
    EXPECT_EQ(data[1] & 0x80, 0x80);  // removable medium
    EXPECT_EQ(text(data, 8, 8), "IET     ");
    EXPECT_EQ(text(data, 16, 16), "VIRTUAL-TAPE    ");
    EXPECT_EQ(DevGetTargetStatus(tape), 0);
    EXPECT_EQ(DevGetSenseLength(tape), 0);

    // Unit serial number page.
    ASSERT_EQ(run(tape, {0x12, 0x01, 0x80, 0, 64, 0}, 64), 0);
    DevReadBuffer(tape, data.data(), 0, 64);
    EXPECT_EQ(data[1], 0x80);
    EXPECT_GT(data[3], 0);
}

TEST_F(IscsiTransportTest, TestUnitReadyOnTheTapeAndTheChanger) {
    EXPECT_EQ(testUnitReady(handleAt(kTape)), 0) << DevLastError(handleAt(kTape));
    EXPECT_EQ(testUnitReady(handleAt(kChanger)), 0) << DevLastError(handleAt(kChanger));
}

TEST_F(IscsiTransportTest, ReadingABlankTapeEndsInBlankCheck) {
    const int tape = handleAt(kSecondTape);  // nothing in this suite writes to it
    ASSERT_GE(tape, 0);
    ASSERT_EQ(testUnitReady(tape), 0);
    ASSERT_EQ(DevRewind(tape), 0);
    EXPECT_EQ(run(tape, {0x08, 0x00, 0x00, 0x02, 0x00, 0x00}, 512), 1);  // READ(6), variable, 512
    EXPECT_EQ(DevLastError(tape), 0);
    EXPECT_EQ(DevGetTargetStatus(tape), 2);
    // The raw fixed-format sense as the target sent it, all of it: tgtd's virtual tape
    // answers BLANK CHECK with the end-of-medium bit (and ASC/ASCQ 00/00).
    const std::vector<uint8_t> sense = senseOf(tape);
    ASSERT_GE(sense.size(), 8u);
    EXPECT_EQ(sense[0] & 0x7F, 0x70);
    EXPECT_EQ(sense.size(), 8u + sense[7]);
    EXPECT_EQ(sense[2] & 0x0F, 0x08);
    EXPECT_EQ(sense[2] & 0x40, 0x40);
}

TEST_F(IscsiTransportTest, WrittenBlocksReadBackAfterRewind) {
    const int tape = handleAt(kTape);
    ASSERT_GE(tape, 0);
    ASSERT_EQ(testUnitReady(tape), 0);
    ASSERT_EQ(DevRewind(tape), 0);
    std::vector<uint8_t> block(1000);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 7 + 3);
    ASSERT_EQ(DevWriteBuffer(tape, block.data(), 0, block.size()), 0);
    ASSERT_EQ(run(tape, {0x0A, 0x00, 0x00, 0x03, 0xE8, 0x00}, 1000, true), 0) << DevLastError(tape);  // WRITE(6)
    ASSERT_EQ(run(tape, {0x10, 0x00, 0x00, 0x00, 0x01, 0x00}), 0);  // WRITE FILEMARKS(6), 1
    ASSERT_EQ(DevRewind(tape), 0);

    std::vector<uint8_t> back(1000, 0xEE);
    ASSERT_EQ(DevWriteBuffer(tape, back.data(), 0, back.size()), 0);  // the old contents must go
    ASSERT_EQ(run(tape, {0x08, 0x00, 0x00, 0x03, 0xE8, 0x00}, 1000), 0) << DevLastError(tape);
    DevReadBuffer(tape, back.data(), 0, back.size());
    EXPECT_EQ(back, block);

    // The next read meets the filemark: CHECK CONDITION, FILEMARK bit, no data.
    EXPECT_EQ(run(tape, {0x08, 0x00, 0x00, 0x03, 0xE8, 0x00}, 1000), 1);
    EXPECT_EQ(DevGetTargetStatus(tape), 2);
    const std::vector<uint8_t> sense = senseOf(tape);
    ASSERT_GE(sense.size(), 3u);
    EXPECT_EQ(sense[2] & 0x80, 0x80);
}

TEST_F(IscsiTransportTest, TimeoutIsKeptPerLun) {
    const int tape = handleAt(kTape);
    const int changer = handleAt(kChanger);
    EXPECT_EQ(DevTimeout(tape, 0, 0), 108000);
    EXPECT_EQ(DevTimeout(tape, 1, 600), 600);
    EXPECT_EQ(DevTimeout(tape, 0, 0), 600);
    EXPECT_EQ(DevTimeout(changer, 0, 0), 108000);
    EXPECT_EQ(testUnitReady(tape), 0);  // a shorter time-out still lets commands through
}

TEST_F(IscsiTransportTest, ResetDeviceSendsLunResetAndTheTapeStaysUsable) {
    const int tape = handleAt(kTape);
    ASSERT_EQ(testUnitReady(tape), 0);
    EXPECT_EQ(DevResetDevice(tape), 0);
    EXPECT_EQ(testUnitReady(tape), 0);
}

TEST_F(IscsiTransportTest, RescanRediscoversTheTargets) {
    EXPECT_EQ(DevRescanBuses(false), 0);
    DevEnumerate();
    EXPECT_EQ(DevCount(), 5);
    EXPECT_EQ(testUnitReady(handleAt(kTape)), 0);
}

TEST_F(IscsiTransportTest, LunsOfOneTargetServeSeveralThreadsAtOnce) {
    const int tape = handleAt(kTape);
    const int changer = handleAt(kChanger);
    ASSERT_EQ(testUnitReady(tape), 0);
    ASSERT_EQ(testUnitReady(changer), 0);
    auto hammer = [](int handle, uint8_t type) {
        for (int i = 0; i < 100; ++i) {
            std::array<uint8_t, 56> data{};
            if (DevInquiry(handle, data.data(), data.size()) != 0 || data[0] != type) return false;
        }
        return true;
    };
    auto first = std::async(std::launch::async, hammer, tape, 0x01);
    auto second = std::async(std::launch::async, hammer, changer, 0x08);
    EXPECT_TRUE(first.get());
    EXPECT_TRUE(second.get());
}

// Tests that stop, suspend or kill the target: one tgtd each.
class IscsiTargetLossTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(server_.start(error)) << error;
        std::string note;
        transport_ = connect({server_.portal()}, note);
        ASSERT_EQ(note, "");
        tape_ = handleAt(kTape);
        ASSERT_GE(tape_, 0);
        ASSERT_EQ(testUnitReady(tape_), 0);
    }
    void TearDown() override {
        DevFreeList();
        DevSetTransport(nullptr);
        server_.stop();
    }

    // Runs `command` and returns how long it took.
    template <typename F>
    static Clock::duration timed(F&& command) {
        const auto start = Clock::now();
        command();
        return Clock::now() - start;
    }

    TgtdServer server_;
    std::shared_ptr<Transport> transport_;
    int tape_ = -1;
    Watchdog watchdog_{60s, "an iSCSI target loss test"};
};

TEST_F(IscsiTargetLossTest, CommandsAfterTheTargetDiedFailAtOnceWithUnexpectedBusFree) {
    server_.kill();
    for (int attempt = 0; attempt < 3; ++attempt) {
        SCOPED_TRACE(attempt);
        int rc = 0;
        const auto took = timed([&] { rc = DevTestUnitReady(tape_); });
        EXPECT_EQ(rc, 1);
        EXPECT_EQ(DevLastError(tape_), ha_status::UnexpectedBusFree);
        EXPECT_EQ(DevGetSenseLength(tape_), 0);
        EXPECT_LT(took, 2s);
    }
}

TEST_F(IscsiTargetLossTest, ACommandInFlightWhenTheTargetDiesEndsWithUnexpectedBusFree) {
    server_.suspend();  // the command reaches the target but is never answered
    auto pending = std::async(std::launch::async, [&] {
        const int rc = DevTestUnitReady(tape_);
        return std::pair{rc, DevLastError(tape_)};
    });
    EXPECT_EQ(pending.wait_for(500ms), std::future_status::timeout);
    const auto killed = Clock::now();
    server_.kill();
    ASSERT_EQ(pending.wait_for(5s), std::future_status::ready);
    EXPECT_LT(Clock::now() - killed, 3s);
    const auto [rc, error] = pending.get();
    EXPECT_EQ(rc, 1);
    EXPECT_EQ(error, ha_status::UnexpectedBusFree);
}

TEST_F(IscsiTargetLossTest, ATimedOutCommandEndsTheSessionAndTheNextCommandLogsInAgain) {
    // The device library resends after a command time-out; for this test it gives up at
    // once so that the transport's own answer is seen.
    TransportDevice* device = DevTransportDevice(tape_);
    ASSERT_NE(device, nullptr);
    device->setWaitLimits({.maxPolls = 100, .maxRetries = 0, .retrySleepMs = 10, .pollWaitMs = 1000});
    ASSERT_EQ(DevTimeout(tape_, 1, 1), 1);
    server_.suspend();
    int rc = 0;
    const auto took = timed([&] { rc = DevTestUnitReady(tape_); });
    EXPECT_EQ(rc, 1);
    EXPECT_EQ(DevLastError(tape_), ha_status::CommandTimeout);
    EXPECT_GE(took, 900ms);
    EXPECT_LT(took, 3s);

    server_.resume();
    ASSERT_EQ(DevTimeout(tape_, 1, 30), 30);
    EXPECT_EQ(testUnitReady(tape_), 0) << DevLastError(tape_);
}

TEST_F(IscsiTargetLossTest, AfterTheTargetRestartedWhileIdleTheNextCommandLogsInAgain) {
    // The connection is closed while nothing is in flight; at once and after a pause.
    for (const auto pause : {0ms, 300ms}) {
        SCOPED_TRACE(pause.count());
        std::string error;
        ASSERT_TRUE(server_.restart(error)) << error;
        std::this_thread::sleep_for(pause);
        EXPECT_EQ(testUnitReady(tape_), 0) << DevLastError(tape_);
    }
}

TEST_F(IscsiTargetLossTest, AbortFromAnotherThreadEndsACommandWaitingForTheTarget) {
    // Drop the session with a command time-out, then let the next command wait for a
    // login the suspended target never answers.
    TransportDevice* device = DevTransportDevice(tape_);
    device->setWaitLimits({.maxPolls = 100, .maxRetries = 0, .retrySleepMs = 10, .pollWaitMs = 1000});
    ASSERT_EQ(DevTimeout(tape_, 1, 1), 1);
    server_.suspend();
    ASSERT_EQ(DevTestUnitReady(tape_), 1);
    ASSERT_EQ(DevTimeout(tape_, 1, 30), 30);

    auto pending = std::async(std::launch::async, [&] {
        const int rc = DevTestUnitReady(tape_);
        return std::pair{rc, DevLastError(tape_)};
    });
    EXPECT_EQ(pending.wait_for(500ms), std::future_status::timeout);
    int aborted = -1;
    const auto took = timed([&] { aborted = DevAbort(tape_); });
    EXPECT_EQ(aborted, 0);
    EXPECT_LT(took, 2s);
    ASSERT_EQ(pending.wait_for(2s), std::future_status::ready);
    const auto [rc, error] = pending.get();
    EXPECT_EQ(rc, 1);
    EXPECT_EQ(error, last_error::Aborted);

    server_.resume();
    EXPECT_EQ(testUnitReady(tape_), 0) << DevLastError(tape_);
}

TEST_F(IscsiTargetLossTest, AnAbortTheTargetDoesNotAnswerFailsWithinItsBound) {
    server_.suspend();
    auto pending = std::async(std::launch::async, [&] {
        const int rc = DevTestUnitReady(tape_);
        return std::pair{rc, DevLastError(tape_)};
    });
    EXPECT_EQ(pending.wait_for(300ms), std::future_status::timeout);
    int aborted = -1;
    const auto took = timed([&] { aborted = DevAbort(tape_); });
    EXPECT_EQ(aborted, 1);
    EXPECT_LT(took, 12s);
    EXPECT_EQ(pending.wait_for(0s), std::future_status::timeout);

    // Once the target runs again it answers the command and, late, the abort; the
    // transport takes both in its stride.
    server_.resume();
    ASSERT_EQ(pending.wait_for(5s), std::future_status::ready);
    const auto [rc, error] = pending.get();
    EXPECT_TRUE(rc == 0 || error == last_error::Aborted) << rc << " " << error;
    EXPECT_EQ(testUnitReady(tape_), 0) << DevLastError(tape_);
}

TEST_F(IscsiTargetLossTest, AnAbandonedCommandEndsAtOnceAndTheNextOneLogsInAgain) {
    server_.suspend();
    auto pending = std::async(std::launch::async, [&] {
        const int rc = DevTestUnitReady(tape_);
        return std::pair{rc, DevLastError(tape_)};
    });
    EXPECT_EQ(pending.wait_for(300ms), std::future_status::timeout);
    int abandoned = -1;
    const auto took = timed([&] { abandoned = DevAbandon(tape_); });
    EXPECT_EQ(abandoned, 0);
    EXPECT_LT(took, 1s);
    ASSERT_EQ(pending.wait_for(1s), std::future_status::ready);
    const auto [rc, error] = pending.get();
    EXPECT_EQ(rc, 1);
    EXPECT_EQ(error, last_error::Aborted);
    EXPECT_EQ(DevGetSenseLength(tape_), 0);
    // Nothing is left in flight: abandoning again, with no command, is done at once.
    EXPECT_EQ(DevAbandon(tape_), 0);

    server_.resume();
    EXPECT_EQ(testUnitReady(tape_), 0) << DevLastError(tape_);
}

TEST(IscsiPortalTest, AClosedPortGivesAnErrorAndNoDevicesQuickly) {
    Watchdog watchdog{30s, "the closed-port test"};
    const int closed = TgtdServer::freeLoopbackPort();
    ASSERT_GT(closed, 0);
    const std::string portal = "127.0.0.1:" + std::to_string(closed);
    std::string note;
    const auto start = Clock::now();
    auto transport = makeIscsiTransport({portal}, note);
    ASSERT_NE(transport, nullptr);
    EXPECT_NE(note.find(portal), std::string::npos) << note;
    DevSetTransport(transport);
    DevEnumerate();
    EXPECT_EQ(DevCount(), 0);
    EXPECT_LT(Clock::now() - start, 2s);
    DevSetTransport(nullptr);
}

TEST(IscsiPortalTest, EachPortalIsOneHostAdapterInTheOrderGiven) {
    Watchdog watchdog{60s, "the two-portal test"};
    TgtdServer server;
    std::string error;
    ASSERT_TRUE(server.start(error)) << error;
    const std::string closed = "127.0.0.1:" + std::to_string(TgtdServer::freeLoopbackPort());
    std::string note;
    auto transport = connect({closed, server.portal()}, note);
    EXPECT_NE(note.find(closed), std::string::npos) << note;
    const std::vector<Found> found = listDevices();
    ASSERT_EQ(found.size(), 5u);
    for (const Found& device : found) EXPECT_EQ(device.address.hostAdapter, 1) << device.address.text();
    EXPECT_EQ(found[1].address, (DeviceAddress{1, 0, 1}));
    EXPECT_EQ(testUnitReady(found[1].handle), 0);
    DevFreeList();
    DevSetTransport(nullptr);
}

}  // namespace
