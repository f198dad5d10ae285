// The port scan of one named device (--device /dev/sgN or H:T:L): only that node is
// opened, its address is the one the full scan gives it, and what is wrong with the other
// devices is not reported.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <cerrno>

#include "device/sg/sg_transport.h"
#include "fake_sysfs.h"
#include "support/test_root.h"

using namespace vexal::device;
using vexal::testing::FakeSysfs;

namespace {

DeviceSelector node(const std::string& name) { return {DeviceSelector::Kind::Node, 0, {}, name}; }
DeviceSelector address(uint8_t h, uint8_t t, uint8_t l) { return {DeviceSelector::Kind::Address, 0, {h, t, l}, {}}; }

class SgOneDeviceTest : public ::testing::Test {
protected:
    SgOneDeviceTest() : fake(root.path()) {
        fake.addHost(0);
        fake.addHost(2);
        fake.addDevice(0, "0:0:0:0", 1);
        fake.addDevice(1, "0:0:0:1", 8);
        fake.addDevice(2, "0:1:0:0", 1);  // off channel 0: placed on a free target ID
        fake.addDevice(3, "2:0:4:0", 1, "ACME", "DLT");
        // An entry that does not parse: a full scan reports it, a scan of one device does not.
        FakeSysfs::link("../../devices/platform/host2/junk", fake.sys() / "class/scsi_generic/sg9");
    }

    std::shared_ptr<SgTransport> scan(std::optional<DeviceSelector> only, int refuse = -1) {
        SgScanOptions options = fake.options();
        options.only = std::move(only);
        options.open = [this, refuse](const char* path, int flags) {
            opened.push_back(std::filesystem::path(path).filename().string());
            if (refuse >= 0 && opened.back() == "sg" + std::to_string(refuse)) {
                errno = EACCES;
                return -1;
            }
            return ::open(path, flags);
        };
        opened.clear();
        return std::dynamic_pointer_cast<SgTransport>(makeSgTransport(options, report));
    }

    vexal::testing::TempRoot root;
    FakeSysfs fake;
    SgScanReport report;
    std::vector<std::string> opened;
};

TEST_F(SgOneDeviceTest, OnlyTheNamedDeviceIsOpenedAtTheFullScansAddress) {
    auto full = scan(std::nullopt);
    ASSERT_EQ(report.devices, 4);
    EXPECT_EQ(report.problems.size(), 1u);  // sg9

    struct Case {
        DeviceSelector only;
        std::string name;  // the one node opened, and the record's
    };
    const Case cases[] = {
        {node("sg1"), "sg1"},          {node("sg2"), "sg2"},          {node("sg3"), "sg3"},
        {address(0, 0, 1), "sg1"},     {address(0, 1, 0), "sg2"},     {address(2, 4, 0), "sg3"},
    };
    for (const Case& c : cases) {
        auto one = scan(c.only);
        SCOPED_TRACE(c.only.text());
        EXPECT_EQ(opened, std::vector<std::string>{c.name});
        ASSERT_EQ(one->records().size(), 1u);
        const SgDeviceRecord& record = *one->records().front();
        EXPECT_EQ(record.name, c.name);
        EXPECT_TRUE(report.problems.empty());
        // The same address as in the full list, so H:T:L and the scan's list agree.
        const SgDeviceRecord* same = full->find(record.address.hostAdapter, record.address.target, record.address.lun);
        ASSERT_TRUE(same);
        EXPECT_EQ(same->name, c.name);
        EXPECT_EQ(one->portCount(), full->portCount());
    }
}

TEST_F(SgOneDeviceTest, ADeviceThatIsNotThereOpensNothing) {
    for (const DeviceSelector& only : {node("sg7"), node("sg9"), address(0, 5, 0), address(1, 0, 0)}) {
        auto one = scan(only);
        SCOPED_TRACE(only.text());
        EXPECT_TRUE(opened.empty());
        EXPECT_TRUE(one->records().empty());
        EXPECT_EQ(report.devices, 0);
        EXPECT_EQ(report.permissionDenied, 0);
    }
}

TEST_F(SgOneDeviceTest, ARefusedNodeIsCountedWithItsAdvice) {
    auto one = scan(node("sg3"), 3);
    EXPECT_TRUE(one->records().empty());
    EXPECT_EQ(report.permissionDenied, 1);
    ASSERT_EQ(report.problems.size(), 1u);
    EXPECT_TRUE(report.problems[0].starts_with((fake.dev() / "sg3").string() +
                                               " (Tape ACME DLT at 2:0:4:0) exists but cannot be opened"))
        << report.problems[0];
}

}  // namespace
