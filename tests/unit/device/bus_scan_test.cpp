#include "device/bus_scan.h"

#include <gtest/gtest.h>

#include <fstream>

#include "device/device_library.h"
#include "device/device_selection.h"
#include "device/drive_family.h"
#include "platform/settings_store.h"
#include "support/fake_operator.h"
#include "support/fake_transport.h"
#include "support/test_root.h"
#include "unit/sg/fake_sysfs.h"

using namespace vexal::device;
using vexal::testing::FakeOperator;

namespace {

class BusScanTest : public ::testing::Test {
protected:
    void TearDown() override {
        DevFreeList();
        DevSetTransport(nullptr);
    }
    ScanConfig virtualConfig(const std::string& profileText = "") {
        ScanConfig config;
        config.kind = TransportKind::Virtual;
        if (!profileText.empty()) {
            const auto file = root.path() / "profile.ini";
            std::ofstream(file) << profileText;
            config.virtualProfile = file.string();
        }
        return config;
    }
    vexal::testing::TempRoot root;
    FakeOperator op;
    BusScanner scanner{op};
};

TEST_F(BusScanTest, VirtualDevicesAreFoundNamedAndClassified) {
    ASSERT_EQ(scanner.ScanBuses(virtualConfig()), 3);
    const auto& d = scanner.devices();
    EXPECT_EQ(d[0].vendor, "KORVANE ");
    EXPECT_EQ(d[0].product, "SKTX VIRTUAL    ");
    EXPECT_EQ(d[0].revision, "V100");
    // The serial number is the device's own (VPD page 80h), though the profile has none.
    EXPECT_EQ(d[0].serialNumber, "VD00000001");
    EXPECT_TRUE(d[0].serialFromDevice);
    EXPECT_EQ(d[0].driveLabel, "no_label");
    EXPECT_EQ(d[0].node, "");  // only SCSI generic devices have one
    EXPECT_EQ(d[2].address, (DeviceAddress{0, 2, 0}));
    EXPECT_EQ(scanner.DriveFamily(0), 10);
    EXPECT_EQ(scanner.DriveFamily(1), 254);
    EXPECT_EQ(scanner.DriveFamily(2), 255);
    EXPECT_EQ(familyIcon(scanner.DriveFamily(2)), 2);
    EXPECT_EQ(deviceListRow(d[1]), (std::vector<std::string>{"KORVANE ", "VIRTUAL LOADER  ", "V100", "VL00000002",
                                                              "0", "1", "0"}));
    EXPECT_EQ(devicePaneRow(d[0]), (std::vector<std::string>{"SKTX VIRTUAL", "0", "0", "0"}));
    EXPECT_TRUE(op.messages().empty());
    // The progress window reads as the operator expects; the terminal and tests are not paced
    // by the scan itself, only through the operator.
    EXPECT_EQ(op.calls.front().text, "Checking environment...");
    EXPECT_GT(op.pacedMs, 0);

    DeviceEntry entry;
    EXPECT_FALSE(scanner.BindDevice(3, entry));
    EXPECT_FALSE(scanner.BindDevice(-1, entry));
}

TEST_F(BusScanTest, FamilyFollowsByte36AndPageC1) {
    ASSERT_EQ(scanner.ScanBuses(virtualConfig("[target 0]\ntype = tape\nbyte36 = 0x80\n"
                                              "[target 1]\ntype = tape\nbyte36 = 0x80\npage_c1 = no\n")),
              2);
    EXPECT_EQ(scanner.DriveFamily(0), 8);
    EXPECT_EQ(scanner.DriveFamily(1), 1);
}

TEST_F(BusScanTest, NoSgDevicesGivesTheNoDevicesMessage) {
    vexal::testing::FakeSysfs sysfs(root.path());
    ScanConfig config;
    config.kind = TransportKind::Sg;
    config.sysfsRoot = sysfs.sys();
    config.devRoot = sysfs.dev();
    EXPECT_EQ(scanner.ScanBuses(config), 0);
    EXPECT_EQ(op.messages(), std::vector<std::string>{kNoDevicesMessage});
    EXPECT_FALSE(scanner.transportFailed());
}

TEST_F(BusScanTest, TransportThatCannotStartIsReported) {
    ScanConfig config;
    config.kind = TransportKind::Iscsi;  // no portals configured
    EXPECT_EQ(scanner.ScanBuses(config), 0);
    EXPECT_TRUE(scanner.transportFailed());
    ASSERT_EQ(op.messages().size(), 1u);
    EXPECT_NE(op.messages()[0].find("iSCSI"), std::string::npos);
}

TEST_F(BusScanTest, SelectionRulesAndStoredChoice) {
    ASSERT_EQ(scanner.ScanBuses(virtualConfig()), 3);
    ActiveDevice active;
    SelectionContext context{true, false, 1};
    EXPECT_EQ(SelectActiveDevice(scanner, 0, context, active, op), SelectResult::Selected);
    EXPECT_EQ(active.index(), 0);
    using vexal::platform::ProfileStore;
    EXPECT_EQ(ProfileStore::readInt("Selected Device 1", "UnitNumber", -1), 0);
    EXPECT_EQ(ProfileStore::readInt("Selected Device 1", "TargetID", -1), 0);

    // The disk is refused and the previous device stays active.
    EXPECT_EQ(SelectActiveDevice(scanner, 2, context, active, op), SelectResult::NotAddressable);
    EXPECT_EQ(active.index(), 0);
    EXPECT_EQ(op.messages().back(), kNotSupportedMessage);
    EXPECT_EQ(ProfileStore::readInt("Selected Device 1", "UnitNumber", -1), 0);

    // Wizard privileges open every device; a busy application selects nothing.
    context.wizardPrivileges = true;
    EXPECT_EQ(SelectActiveDevice(scanner, 2, context, active, op), SelectResult::Selected);
    context.idle = false;
    EXPECT_EQ(SelectActiveDevice(scanner, 1, context, active, op), SelectResult::NotIdle);
    EXPECT_EQ(op.messages().back(), kNotIdleSelectMessage);
    context.idle = true;
    EXPECT_EQ(SelectActiveDevice(scanner, 5, context, active, op), SelectResult::NoSuchDevice);
}

TEST_F(BusScanTest, MultiSelectionDropsUnsupportedDevicesAndAsks) {
    ASSERT_EQ(scanner.ScanBuses(virtualConfig()), 3);
    ActiveDevice active;
    SelectionContext context;
    op.buttons = {vexal::ui::Button::Yes};
    EXPECT_EQ(ConfirmMultiSelection(scanner, {0, 1, 2}, context, active, op), (std::vector<int>{0, 1}));
    EXPECT_EQ(op.messages(), (std::vector<std::string>{kRemovedFromSelectionMessage, kMultiSelectQuestion}));
    op.calls.clear();
    EXPECT_TRUE(ConfirmMultiSelection(scanner, {0, 1}, context, active, op, true).empty());  // default No
    EXPECT_EQ(op.messages(), std::vector<std::string>{kPaneMultiSelectQuestion});
}

TEST_F(BusScanTest, RestoreFallsBackToDeviceZeroWhenDevicesChanged) {
    using vexal::platform::ProfileStore;
    ASSERT_EQ(scanner.ScanBuses(virtualConfig()), 3);
    // First run: nothing stored, no notification, device 0 written back.
    ActiveDevice active;
    RestoreSelection(scanner, 1, active, op);
    EXPECT_EQ(active.index(), 0);
    EXPECT_TRUE(op.messages().empty());
    EXPECT_EQ(ProfileStore::readInt("Selected Device 1", "HostNumber", -1), 0);

    // A stored choice that still matches is kept, with its label; the serial number the
    // device gives outranks a stale stored one.
    ProfileStore::writeString("Labeled Device 1", "SerialNumber", "SN1");
    ProfileStore::writeString("Labeled Device 1", "DriveLabel", "lab");
    SelectActiveDevice(scanner, 1, {}, active, op);
    RestoreSelection(scanner, 1, active, op);
    EXPECT_EQ(active.index(), 1);
    EXPECT_EQ(active.entry.serialNumber, "VL00000002");
    EXPECT_EQ(active.entry.driveLabel, "lab");

    // The devices changed: the stored address no longer matches device 1.
    ASSERT_EQ(scanner.ScanBuses(virtualConfig("[target 0]\ntype = tape\n[target 3]\ntype = tape\n")), 2);
    RestoreSelection(scanner, 1, active, op);
    EXPECT_EQ(op.messages(), std::vector<std::string>{kDevicesChangedNotification});
    EXPECT_EQ(active.index(), 0);
    EXPECT_EQ(active.entry.serialNumber, "VD00000001");  // the device's own, not forgotten
    EXPECT_EQ(active.entry.driveLabel, "no_label");
    EXPECT_EQ(ProfileStore::readInt("Selected Device 1", "UnitNumber", -1), 0);
}

TEST_F(BusScanTest, TheProfileSerialStandsWhereTheDeviceGaveNone) {
    using vexal::platform::ProfileStore;
    auto transport = std::make_shared<vexal::testing::FakeTransport>();
    transport->devices[{0, 0, 0}] = vexal::testing::FakeTransport::inquiryDevice(1);
    transport->devices[{0, 1, 0}] = vexal::testing::FakeTransport::inquiryDevice(1);
    DevSetTransport(transport);
    ASSERT_EQ(DevEnumerate(), 0);
    ProfileStore::writeString("Labeled Device 0", "SerialNumber", "STORED0");
    ProfileStore::writeString("Labeled Device 1", "SerialNumber", "STORED1");
    ASSERT_EQ(DevSetUnitSerial(1, "FROMVPD1"), 0);

    DeviceEntry entry;
    ASSERT_TRUE(scanner.BindDevice(0, entry));
    EXPECT_EQ(entry.serialNumber, "STORED0");
    EXPECT_FALSE(entry.serialFromDevice);
    ASSERT_TRUE(scanner.BindDevice(1, entry));
    EXPECT_EQ(entry.serialNumber, "FROMVPD1");
    EXPECT_TRUE(entry.serialFromDevice);
    // The list owns what the devices said: a new enumeration starts without it.
    ASSERT_EQ(DevEnumerate(), 0);
    ASSERT_TRUE(scanner.BindDevice(1, entry));
    EXPECT_EQ(entry.serialNumber, "STORED1");
}

TEST_F(BusScanTest, SgScanDoesNotRescanTheHostsOnlyRescanBusDoes) {
    vexal::testing::FakeSysfs sysfs(root.path());
    sysfs.addHost(0);
    sysfs.addHost(1, false);  // no scan file: the rescan's failure is told by the next scan
    ScanConfig config;
    config.kind = TransportKind::Sg;
    config.sysfsRoot = sysfs.sys();
    config.devRoot = sysfs.dev();

    scanner.ScanBuses(config);
    EXPECT_EQ(sysfs.scanContent(0), "");
    EXPECT_TRUE(scanner.notes().empty());

    scanner.RescanBus(config);
    EXPECT_EQ(sysfs.scanContent(0), "- - -");
    scanner.ScanBuses(config);
    EXPECT_EQ(scanner.notes(), std::vector<std::string>{(sysfs.sys() / "class/scsi_host/host1/scan").string() +
                                                        ": No such file or directory"});
    scanner.ScanBuses(config);  // told once
    EXPECT_TRUE(scanner.notes().empty());
}

TEST_F(BusScanTest, NamedSgDeviceThatIsNotThereIsNoEmptyBus) {
    vexal::testing::FakeSysfs sysfs(root.path());
    sysfs.addHost(0);
    sysfs.addDevice(0, "0:0:0:0", 1);
    ScanConfig config;
    config.kind = TransportKind::Sg;
    config.sysfsRoot = sysfs.sys();
    config.devRoot = sysfs.dev();
    config.only = DeviceSelector{DeviceSelector::Kind::Node, 0, {}, "sg7"};
    EXPECT_EQ(scanner.ScanBuses(config), 0);
    EXPECT_TRUE(scanner.partial());
    EXPECT_TRUE(op.messages().empty());  // the front end names the device that is missing

    config.only.reset();
    scanner.ScanBuses(config);
    EXPECT_FALSE(scanner.partial());
}

TEST_F(BusScanTest, RescanAndReselectWarnsWhenTheActiveAddressMoved) {
    ASSERT_EQ(scanner.ScanBuses(virtualConfig("[target 0]\ntype = tape\n[target 1]\ntype = tape\n")), 2);
    ActiveDevice active;
    ASSERT_EQ(SelectActiveDevice(scanner, 1, {}, active, op), SelectResult::Selected);
    op.calls.clear();
    EXPECT_EQ(RescanAndReselect(scanner, virtualConfig("[target 0]\ntype = tape\n[target 1]\ntype = tape\n"), 1,
                                active, op),
              2);
    EXPECT_TRUE(op.messages().empty());
    EXPECT_EQ(RescanAndReselect(scanner, virtualConfig("[target 0]\ntype = tape\n[target 4]\ntype = tape\n"), 1,
                                active, op),
              2);
    EXPECT_EQ(op.messages(), std::vector<std::string>{kSelectionChangedMessage});
    EXPECT_EQ(active.entry.address, (DeviceAddress{0, 4, 0}));
}

}  // namespace
