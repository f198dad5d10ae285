// The full scan over SCSI generic when nodes refuse this user: the scanner counts them and
// keeps the sentence that names the node and the fix, for the front ends to show.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <cerrno>

#include "device/bus_scan.h"
#include "device/device_library.h"
#include "support/fake_operator.h"
#include "support/test_root.h"
#include "unit/sg/fake_sysfs.h"

using namespace vexal::device;

namespace {

class BusScanPermissionTest : public ::testing::Test {
protected:
    void TearDown() override {
        DevFreeList();
        DevSetTransport(nullptr);
    }
    ScanConfig config(bool refuseAll) {
        ScanConfig c;
        c.kind = TransportKind::Sg;
        c.sysfsRoot = sysfs.sys();
        c.devRoot = sysfs.dev();
        c.openNode = [refuseAll](const char* path, int flags) {
            if (refuseAll || std::string(path).ends_with("/sg0")) {
                errno = EACCES;
                return -1;
            }
            return ::open(path, flags);
        };
        return c;
    }
    vexal::testing::TempRoot root;
    vexal::testing::FakeSysfs sysfs{root.path()};
    vexal::testing::FakeOperator op;
    BusScanner scanner{op};
};

TEST_F(BusScanPermissionTest, RefusedNodesAreCountedAndExplainedAndTheCountIsResetByTheNextScan) {
    sysfs.addHost(0);
    sysfs.addDevice(0, "0:0:0:0", 1, "KORVANE", "SKTX");
    sysfs.addDevice(1, "0:0:1:0", 8, "KORVANE", "LOADER");

    EXPECT_EQ(scanner.ScanBuses(config(true)), 0);
    EXPECT_EQ(scanner.permissionDenied(), 2);
    EXPECT_FALSE(scanner.transportFailed());
    // The devices are there: "no SCSI devices have been detected" would send the user to
    // the cables. The notes say what to do.
    EXPECT_TRUE(op.messages().empty());
    const std::string node = (sysfs.dev() / "sg0").string();
    const auto& notes = scanner.notes();
    EXPECT_NE(std::find_if(notes.begin(), notes.end(),
                           [&](const std::string& n) {
                               return n.starts_with(node + " (Tape KORVANE SKTX at 0:0:0:0) exists but cannot be "
                                                           "opened: permission denied.") &&
                                      n.find("tape") != std::string::npos;
                           }),
              notes.end());

    // The files of the fake tree open, but the second device is still there to count.
    scanner.ScanBuses(config(false));
    EXPECT_EQ(scanner.permissionDenied(), 1);
}

}  // namespace
