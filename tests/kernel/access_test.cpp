// A user who may open no sg node: the scan and every device command name the nodes with
// the fix, say nothing of an empty bus, and exit with 4 (transport or environment error).
#include <gtest/gtest.h>

#include "kernel/kernel_bed.h"

namespace vexal::testing {
namespace {

TEST(KernelAccessTest, NodesTheUserCannotOpenGiveTheAdviceAndExit4) {
    VEXAL_REQUIRE_KERNEL_BED();
    KernelBed bed;
    BedSetup setup;
    setup.scsiDebug = "ptype=1 max_luns=2";
    const std::string user = "$NOBODY env VEXAL_ROOT=$USER_ROOT $VEXAL --engineering ";
    const auto r = bed.run(setup, {user + "scan", user + "--json scan", user + "tur", user + "--device 0 tur",
                                   user + "--device /dev/sg1 tur", user + "--device 0:0:1 inquiry"});
    const std::string advice0 = "/dev/sg0 (Tape Linux scsi_debug at 0:0:0:0) exists but cannot be opened: "
                                "permission denied.";
    const std::string advice1 = "/dev/sg1 (Tape Linux scsi_debug at 0:0:0:1) exists but cannot be opened: "
                                "permission denied.";
    for (size_t i = 0; i < r.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(r[i].exitCode, 4) << r[i].out << r[i].err << (i == 0 ? bed.console() : "");
        EXPECT_EQ(r[i].err.find("No SCSI devices have been detected"), std::string::npos) << r[i].err;
        EXPECT_NE(r[i].err.find(advice1), std::string::npos) << r[i].err;
        // A named device is the only one opened, and the only one told about.
        const bool one = i >= 4;
        EXPECT_EQ(r[i].err.find(advice0) != std::string::npos, !one) << r[i].err;
    }
    EXPECT_EQ(r[1].out, "[]\n");
}

}  // namespace
}  // namespace vexal::testing
