// A shipped script on a real SCSI generic device in customer mode with no pass phrase
// remembered: it runs with the fingerprint the build made, a copy without one is refused
// before it sends anything, and the copy runs once the fingerprint command has written one.
#include <gtest/gtest.h>

#include "kernel/kernel_bed.h"

namespace vexal::testing {
namespace {

TEST(KernelScriptFingerprintTest, TheDemandHoldsOnARealDevice) {
    VEXAL_REQUIRE_KERNEL_BED();
    KernelBed bed;
    const std::string shipped = std::string(VEXAL_EXAMPLES_DIR) + "/DRIVE_IDENTITY.SCS";
    const std::string trace = "The drive reports a unit serial number page.";
    const std::string run = "$VEXAL --device 0:0:0 --color never ";
    const auto r = bed.run({}, {
                                   run + "run " + shipped,
                                   "cp " + shipped + " $BED/ID.SCS && " + run + "--yes run $BED/ID.SCS",
                                   // Another root: the engineering run remembers its pass phrase.
                                   "env VEXAL_ROOT=$BED/eng $VEXAL --engineering fingerprint $BED/ID.SCS",
                                   run + "run $BED/ID.SCS",
                               });
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[0].exitCode, 0) << r[0].out << r[0].err << bed.console();
    EXPECT_NE(r[0].out.find(trace), std::string::npos) << r[0].out;

    EXPECT_EQ(r[1].exitCode, 1) << r[1].out << r[1].err;
    EXPECT_NE(r[1].out.find("Error : K_PHASE1_FILE_FINGERPRINT_ERROR"), std::string::npos) << r[1].out;
    EXPECT_EQ(r[1].out.find("Identity of the selected drive"), std::string::npos) << r[1].out;

    EXPECT_EQ(r[2].exitCode, 0) << r[2].out << r[2].err;
    EXPECT_EQ(r[3].exitCode, 0) << r[3].out << r[3].err;
    EXPECT_NE(r[3].out.find(trace), std::string::npos) << r[3].out;
}

}  // namespace
}  // namespace vexal::testing
