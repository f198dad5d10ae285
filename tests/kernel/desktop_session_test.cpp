// The desktop on a real kernel: it starts offscreen on the SG devices, opens the session
// log for the drive it selected, and its exit gives back the instance it counted.
#include <gtest/gtest.h>

#include "kernel/kernel_bed.h"

namespace vexal::testing {
namespace {

TEST(KernelDesktopTest, StartsOnTheSgDevicesWithTheSessionLogAndEndsItsSession) {
#ifndef VEXAL_GUI_PATH
    GTEST_SKIP() << "the desktop is not built";
#else
    VEXAL_REQUIRE_KERNEL_BED();
    KernelBed bed;
    BedSetup setup;
    setup.scsiDebug = "ptype=1 num_tgts=2";
    const auto r = bed.run(setup, {
        "mkdir -p -m 700 $BED/xdg && env QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$BED/xdg HOME=$BED " VEXAL_GUI_PATH
        " --screenshot $BED/shot.png 2>/dev/null",
        "ls $VEXAL_ROOT/data/Korvane/Vexal/Logs/",
        "grep -i '^Instance Count' $VEXAL_ROOT/config/Mendra/Vexal.ini",
    });
    ASSERT_EQ(r[0].exitCode, 0) << r[0].err << bed.console();
    // The session log is named after the selected drive's serial number (scsi_debug: 2000).
    ASSERT_EQ(r[1].exitCode, 0) << r[1].err;
    EXPECT_NE(r[1].out.find("_2000.txt"), std::string::npos) << r[1].out;
    EXPECT_EQ(r[2].out, "Instance Count=0\n") << r[2].err;
#endif
}

}  // namespace
}  // namespace vexal::testing
