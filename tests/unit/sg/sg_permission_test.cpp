// Nodes that exist but refuse this user: the scan names each with the fix. Tests run as
// root, whom file modes do not stop, so the refusal is injected through the node opener.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "device/sg/sg_permission.h"
#include "device/sg/sg_transport.h"
#include "fake_sysfs.h"
#include "support/test_root.h"

using namespace vexal::device;
using vexal::testing::FakeSysfs;

namespace {

// Refuses the nodes whose path ends in one of `names` with `error`; opens the others.
NodeOpener refusing(std::vector<std::string> names, int error) {
    return [names = std::move(names), error](const char* path, int flags) {
        const std::string p(path);
        for (const auto& name : names)
            if (p.size() >= name.size() && p.compare(p.size() - name.size(), name.size(), name) == 0) {
                errno = error;
                return -1;
            }
        return ::open(path, flags);
    };
}

class SgPermissionTest : public ::testing::Test {
protected:
    SgPermissionTest() : fake(root.path()) {}
    vexal::testing::TempRoot root;
    FakeSysfs fake;
    SgScanReport report;
};

TEST_F(SgPermissionTest, RefusedNodesAreCountedAndExplainedWithTheirFix) {
    fake.addHost(0);
    fake.addDevice(0, "0:0:0:0", 1, "KORVANE", "SKTX VIRTUAL");
    fake.addDevice(1, "0:0:1:0", 8, "KORVANE", "LOADER");
    fake.addDevice(2, "0:0:2:0", 0, "ATA", "DISK");
    fake.addDevice(3, "0:0:3:0", 1);
    fake.addDevice(4, "0:0:4:0", 1, "V", "M", FakeSysfs::Node::Missing);
    auto options = fake.options();
    options.open = refusing({"/sg0", "/sg1", "/sg2"}, EACCES);
    auto transport = std::dynamic_pointer_cast<SgTransport>(makeSgTransport(options, report));
    ASSERT_TRUE(transport);

    EXPECT_EQ(report.devices, 1);
    EXPECT_EQ(report.unopenable, 4);
    EXPECT_EQ(report.permissionDenied, 3);
    ASSERT_EQ(report.problems.size(), 4u);
    const std::string dev = fake.dev().string();
    // The fake nodes belong to root's group, so the fix is the udev rule and the 'tape' group.
    const std::string group = sg::nodeGroup(fake.dev() / "sg0");
    EXPECT_FALSE(group.empty());
    struct Case {
        const char* start;
        const char* advice;
    } cases[] = {
        {"/sg0 (Tape KORVANE SKTX VIRTUAL at 0:0:0:0) exists but cannot be opened: permission denied.", "tape"},
        {"/sg1 (Medium Changer KORVANE LOADER at 0:0:1:0) exists but cannot be opened: permission denied.", "tape"},
        {"/sg2 (Disk ATA DISK at 0:0:2:0) exists but cannot be opened: permission denied.",
         "not a tape drive or medium changer"},
    };
    for (const Case& c : cases) {
        const std::string start = dev + c.start;
        const auto it = std::find_if(report.problems.begin(), report.problems.end(),
                                     [&](const std::string& p) { return p.rfind(start, 0) == 0; });
        ASSERT_NE(it, report.problems.end()) << start;
        EXPECT_NE(it->find(c.advice), std::string::npos) << *it;
    }
    EXPECT_NE(std::find(report.problems.begin(), report.problems.end(), dev + "/sg4: No such file or directory"),
              report.problems.end());
    EXPECT_TRUE(transport->find(0, 3, 0));
}

TEST_F(SgPermissionTest, EpermCountsAsRefusedAndOtherErrorsDoNot) {
    EXPECT_TRUE(sg::isPermissionError(EACCES));
    EXPECT_TRUE(sg::isPermissionError(EPERM));
    EXPECT_FALSE(sg::isPermissionError(ENOENT));
    EXPECT_FALSE(sg::isPermissionError(EBUSY));
    EXPECT_FALSE(sg::isPermissionError(0));

    fake.addHost(0);
    fake.addDevice(0, "0:0:0:0", 1);
    fake.addDevice(1, "0:0:1:0", 1);
    auto options = fake.options();
    options.open = refusing({"/sg0"}, EBUSY);
    makeSgTransport(options, report);
    EXPECT_EQ(report.permissionDenied, 0);
    EXPECT_EQ(report.problems, std::vector<std::string>{fake.dev().string() + "/sg0: Device or resource busy"});
}

TEST(SgPermissionAdviceTest, TheFixNamesTheOwningGroupOrTheUdevRule) {
    sg::GenericDevice tape;
    tape.name = "sg3";
    tape.peripheralType = 1;
    tape.vendor = "KORVANE";
    tape.model = "SKTX";
    sg::parseHctl("2:0:5:0", tape.hctl);
    struct Case {
        std::string group;
        std::vector<std::string> wanted;
    } cases[] = {
        {"tape", {"/dev/sg3 (Tape KORVANE SKTX at 2:0:5:0) exists", "group 'tape' that owns it",
                  "sudo usermod -aG tape $USER", "log in again"}},
        {"scsi", {"group 'scsi' that owns it", "sudo usermod -aG scsi $USER"}},
        {"root", {"Install the udev rule 60-vexal.rules", "sudo usermod -aG tape $USER"}},
        {"", {"Install the udev rule 60-vexal.rules"}},
    };
    for (const Case& c : cases) {
        const std::string text = sg::permissionAdvice("/dev/sg3", tape, c.group);
        for (const auto& w : c.wanted) EXPECT_NE(text.find(w), std::string::npos) << c.group << ": " << text;
    }
}

}  // namespace
