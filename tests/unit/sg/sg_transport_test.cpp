#include "device/sg/sg_transport.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "device/device_library.h"
#include "fake_sysfs.h"
#include "platform/event.h"
#include "support/test_root.h"

using namespace vexal::device;
using vexal::testing::FakeSysfs;

namespace {

class SgTransportTest : public ::testing::Test {
protected:
    SgTransportTest() : fake(root.path()) {}

    std::shared_ptr<SgTransport> scan(bool rescan = false) {
        auto transport = makeSgTransport(fake.options(rescan), report);
        auto sg = std::dynamic_pointer_cast<SgTransport>(transport);
        EXPECT_TRUE(sg);
        return sg;
    }

    static uint8_t send(Transport& transport, SrbCommand command, uint8_t adapter, uint8_t target = 0,
                        uint8_t lun = 0, uint8_t flags = 0) {
        RequestBlock srb;
        srb.command = command;
        srb.hostAdapter = adapter;
        srb.target = target;
        srb.lun = lun;
        srb.flags = flags;
        if (command == SrbCommand::ExecuteScsi) {
            srb.cdbLength = 6;  // TEST UNIT READY
        }
        transport.sendSrb(srb);
        return srb.status.load();
    }

    vexal::testing::TempRoot root;
    FakeSysfs fake;
    SgScanReport report;
};

TEST_F(SgTransportTest, ScanFindsDevicesAtTheirAddressesAcrossHostGaps) {
    fake.addHost(0);
    fake.addHost(3);
    fake.addDevice(0, "0:0:2:0", 1, "KORVANE", "VX TAPE");
    fake.addDevice(1, "0:0:2:1", 8, "ACME", "LOADER");
    fake.addDevice(2, "3:0:5:0", 1);
    auto transport = scan();

    EXPECT_EQ(report.portCount, 4);
    EXPECT_EQ(report.devices, 3);
    EXPECT_EQ(report.unopenable, 0);
    EXPECT_TRUE(report.problems.empty());
    ASSERT_EQ(transport->records().size(), 3u);

    const SgDeviceRecord* tape = transport->find(0, 2, 0);
    ASSERT_TRUE(tape);
    EXPECT_EQ(tape->name, "sg0");
    EXPECT_EQ(tape->node, fake.dev() / "sg0");
    EXPECT_EQ(tape->vendor, "KORVANE");
    EXPECT_EQ(tape->model, "VX TAPE");
    EXPECT_TRUE(tape->fd.valid());
    EXPECT_EQ(tape->timeoutSeconds.load(), 108000u);

    RequestBlock inquiry;
    inquiry.command = SrbCommand::HostAdapterInquiry;
    transport->sendSrb(inquiry);
    EXPECT_EQ(inquiry.status.load(), srb_status::Complete);
    EXPECT_EQ(inquiry.adapterCount, 4);
    EXPECT_EQ(inquiry.maxTargets, 16);

    struct TypeCase {
        uint8_t adapter, target, lun, type;
    };
    for (const TypeCase c : {TypeCase{0, 2, 0, 1}, {0, 2, 1, 8}, {3, 5, 0, 1}}) {
        RequestBlock srb;
        srb.command = SrbCommand::GetDeviceType;
        srb.hostAdapter = c.adapter;
        srb.target = c.target;
        srb.lun = c.lun;
        transport->sendSrb(srb);
        EXPECT_EQ(srb.status.load(), srb_status::Complete);
        EXPECT_EQ(srb.deviceType, c.type) << int(c.adapter) << ":" << int(c.target) << ":" << int(c.lun);
    }
}

TEST_F(SgTransportTest, BlocksToUnknownAdaptersAndAddressesAreRefused) {
    fake.addHost(0);
    fake.addHost(3);
    fake.addDevice(0, "0:0:2:0", 1);
    auto transport = scan();

    struct Case {
        uint8_t adapter, target, lun, status;
    };
    const Case cases[] = {
        {4, 2, 0, srb_status::InvalidHostAdapter},   // at the port count
        {200, 0, 0, srb_status::InvalidHostAdapter},
        {1, 2, 0, srb_status::NoDevice},             // a gap between host numbers
        {3, 2, 0, srb_status::NoDevice},             // a host without devices
        {0, 3, 0, srb_status::NoDevice},
        {0, 2, 1, srb_status::NoDevice},
    };
    for (SrbCommand command : {SrbCommand::GetDeviceType, SrbCommand::ExecuteScsi, SrbCommand::Timeouts,
                               SrbCommand::ResetDevice}) {
        for (const Case& c : cases)
            EXPECT_EQ(send(*transport, command, c.adapter, c.target, c.lun), c.status)
                << int(command) << " to " << int(c.adapter) << ":" << int(c.target) << ":" << int(c.lun);
    }
}

TEST_F(SgTransportTest, DevicesOffChannelZeroOrAboveTarget15GetFreeTargetIds) {
    fake.addHost(0);
    fake.addDevice(0, "0:0:0:0", 1);
    fake.addDevice(1, "0:0:1:0", 1);
    fake.addDevice(2, "0:1:0:0", 1);
    fake.addDevice(3, "0:1:0:1", 8);
    fake.addDevice(4, "0:0:64:0", 1);
    auto transport = scan();
    EXPECT_EQ(report.devices, 5);
    EXPECT_TRUE(report.problems.empty());

    // Slots are handed out in H:C:T:L order: 0:0:64 before 0:1:0.
    const SgDeviceRecord* high = transport->find(0, 2, 0);
    const SgDeviceRecord* lun0 = transport->find(0, 3, 0);
    const SgDeviceRecord* lun1 = transport->find(0, 3, 1);
    ASSERT_TRUE(lun0 && lun1 && high);
    EXPECT_EQ(lun0->hctl.text(), "0:1:0:0");
    EXPECT_EQ(lun1->hctl.text(), "0:1:0:1");
    EXPECT_EQ(high->hctl.text(), "0:0:64:0");
    EXPECT_EQ(high->name, "sg4");
}

TEST_F(SgTransportTest, TargetsBeyond16AndLargeLunsAreReportedAndSkipped) {
    fake.addHost(0);
    for (int t = 0; t < 16; ++t) fake.addDevice(t, fmt::format("0:0:{}:0", t), 1);
    fake.addDevice(16, "0:2:0:0", 1);
    fake.addDevice(17, "0:0:3:16384", 1);
    auto transport = scan();
    EXPECT_EQ(report.devices, 16);
    std::sort(report.problems.begin(), report.problems.end());
    EXPECT_EQ(report.problems, (std::vector<std::string>{
                                   "sg16 (0:2:0:0) skipped: host 0 has no free target ID 0..15 left.",
                                   "sg17 (0:0:3:16384) skipped: LUN 16384 does not fit 0..255.",
                               }));
}

TEST_F(SgTransportTest, NodesThatCannotBeOpenedAreCountedAndNamed) {
    fake.addHost(0);
    fake.addDevice(0, "0:0:0:0", 1, "V", "M", FakeSysfs::Node::DanglingLink);
    fake.addDevice(1, "0:0:1:0", 1, "V", "M", FakeSysfs::Node::Folder);
    fake.addDevice(2, "0:0:2:0", 1, "V", "M", FakeSysfs::Node::Missing);
    fake.addDevice(3, "0:0:3:0", 1);
    auto transport = scan();

    EXPECT_EQ(report.devices, 1);
    EXPECT_EQ(report.unopenable, 3);
    EXPECT_EQ(report.portCount, 1);
    const std::string dev = fake.dev().string();
    std::sort(report.problems.begin(), report.problems.end());
    EXPECT_EQ(report.problems, (std::vector<std::string>{
                                   dev + "/sg0: No such file or directory",
                                   dev + "/sg1: Is a directory",
                                   dev + "/sg2: No such file or directory",
                               }));
    EXPECT_EQ(send(*transport, SrbCommand::GetDeviceType, 0, 0), srb_status::NoDevice);
    EXPECT_EQ(send(*transport, SrbCommand::GetDeviceType, 0, 3), srb_status::Complete);
}

TEST_F(SgTransportTest, RescanWritesWildcardsToEveryHostScanFileFirst) {
    fake.addHost(0);
    fake.addHost(2);
    fake.addHost(5, false);  // no scan file: the write fails and is reported
    scan(false);
    EXPECT_EQ(fake.scanContent(0), "");
    EXPECT_TRUE(report.problems.empty());

    auto transport = scan(true);
    EXPECT_EQ(fake.scanContent(0), "- - -");
    EXPECT_EQ(fake.scanContent(2), "- - -");
    EXPECT_EQ(report.portCount, 6);
    EXPECT_EQ(report.problems, std::vector<std::string>{
                                   (fake.sys() / "class/scsi_host/host5/scan").string() +
                                   ": No such file or directory"});
}

TEST_F(SgTransportTest, RescanBusBlockRescansOneHost) {
    fake.addHost(0);
    fake.addHost(2);
    fake.addHost(3, false);
    auto transport = scan();

    EXPECT_EQ(send(*transport, SrbCommand::RescanBus, 2), srb_status::Complete);
    EXPECT_EQ(fake.scanContent(2), "- - -");
    EXPECT_EQ(fake.scanContent(0), "");
    EXPECT_EQ(send(*transport, SrbCommand::RescanBus, 1), srb_status::InvalidHostAdapter);  // a gap
    EXPECT_EQ(send(*transport, SrbCommand::RescanBus, 4), srb_status::InvalidHostAdapter);
    EXPECT_EQ(send(*transport, SrbCommand::RescanBus, 3), srb_status::InvalidSrb);
}

TEST_F(SgTransportTest, TimeOutIsReadAndSetPerDevice) {
    fake.addHost(0);
    fake.addDevice(0, "0:0:0:0", 1);
    fake.addDevice(1, "0:0:1:0", 1);
    auto transport = scan();

    const auto timeouts = [&](uint8_t target, uint8_t flags, uint32_t seconds) {
        RequestBlock srb;
        srb.command = SrbCommand::Timeouts;
        srb.target = target;
        srb.flags = flags;
        srb.timeoutSeconds = seconds;
        transport->sendSrb(srb);
        EXPECT_EQ(srb.status.load(), srb_status::Complete);
        return srb.timeoutSeconds;
    };
    EXPECT_EQ(timeouts(0, srb_flags::DataIn, 0), 108000u);
    EXPECT_EQ(timeouts(0, srb_flags::DataOut, 60), 60u);
    EXPECT_EQ(timeouts(0, srb_flags::DataIn, 0), 60u);
    EXPECT_EQ(timeouts(1, srb_flags::DataIn, 0), 108000u) << "another device keeps its own";
    EXPECT_EQ(timeouts(1, srb_flags::DataOut, 0xFFFFFFFFu), sg::kMaxTimeoutSeconds);
    EXPECT_EQ(transport->find(0, 1, 0)->timeoutSeconds.load(), sg::kMaxTimeoutSeconds);
}

TEST_F(SgTransportTest, RequestsTheNodeCannotCarryOutFailAsInvalid) {
    fake.addHost(0);
    fake.addDevice(0, "0:0:0:0", 1);
    auto transport = scan();

    // SG_IO on a regular file fails (ENOTTY).
    std::array<uint8_t, 32> data{};
    vexal::platform::Event done;
    RequestBlock srb;
    srb.command = SrbCommand::ExecuteScsi;
    srb.flags = srb_flags::DataIn | srb_flags::EventNotify;
    srb.post = &done;
    srb.cdbLength = 6;
    srb.cdb = {0x12, 0, 0, 0, 32, 0};
    srb.buffer = data.data();
    srb.bufferLength = data.size();
    srb.senseLength = 64;
    EXPECT_EQ(transport->sendSrb(srb), 0);
    EXPECT_EQ(srb.status.load(), srb_status::InvalidSrb);
    EXPECT_EQ(srb.senseLength, 0);
    EXPECT_TRUE(done.isSet()) << "completion is signalled when the block asks for it";

    srb.status.store(srb_status::Pending);
    srb.cdbLength = 0;  // refused before it reaches the node
    transport->sendSrb(srb);
    EXPECT_EQ(srb.status.load(), srb_status::InvalidSrb);

    EXPECT_EQ(send(*transport, SrbCommand::ResetDevice, 0), srb_status::InvalidSrb);
    // SG_IO cannot be aborted; unknown commands are refused the same way.
    EXPECT_EQ(send(*transport, SrbCommand::Abort, 0), srb_status::InvalidCommand);
    EXPECT_EQ(send(*transport, static_cast<SrbCommand>(5), 0), srb_status::InvalidCommand);
}

TEST_F(SgTransportTest, DescriptorsAreClosedWithTheTransport) {
    fake.addHost(0);
    fake.addDevice(0, "0:0:0:0", 1);
    auto transport = scan();
    const int fd = transport->records().front()->fd.get();
    ASSERT_GE(fd, 0);
    EXPECT_NE(::fcntl(fd, F_GETFD), -1);
    transport.reset();
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1);
}

TEST_F(SgTransportTest, EmptyTreesGiveAnEmptyTransport) {
    // Nothing at all below the roots.
    auto transport = scan(true);
    EXPECT_EQ(report.portCount, 0);
    EXPECT_EQ(report.devices, 0);
    EXPECT_EQ(report.unopenable, 0);
    EXPECT_TRUE(report.problems.empty());
    RequestBlock inquiry;
    inquiry.command = SrbCommand::HostAdapterInquiry;
    transport->sendSrb(inquiry);
    EXPECT_EQ(inquiry.status.load(), srb_status::Complete);
    EXPECT_EQ(inquiry.adapterCount, 0);
    EXPECT_EQ(send(*transport, SrbCommand::ExecuteScsi, 0), srb_status::InvalidHostAdapter);

    // Hosts but no scsi_generic folder: ports, no devices, and enumeration ends cleanly.
    fake.addHost(1);
    transport = scan();
    EXPECT_EQ(report.portCount, 2);
    EXPECT_EQ(report.devices, 0);
    DevSetTransport(transport);
    EXPECT_EQ(DevEnumerate(), 0);
    EXPECT_EQ(DevCount(), 0);
    DevFreeList();
    DevSetTransport(nullptr);
}

}  // namespace
