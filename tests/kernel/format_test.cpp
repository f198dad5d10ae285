// FORMAT MEDIUM through a real sg node: the name line without a RAW_CDB line, then the
// status and sense of this command (scsi_debug does not know the opcode: 05/20/00).
#include <gtest/gtest.h>

#include "kernel/kernel_bed.h"

namespace vexal::testing {
namespace {

TEST(KernelFormatTest, FormatReachesTheDeviceAndShowsItsOwnSense) {
    VEXAL_REQUIRE_KERNEL_BED();
    KernelBed bed;
    const std::string cli = "$VEXAL --engineering --yes --color never --device /dev/sg0 ";
    const auto r = bed.run({}, {cli + "format", cli + "format --immediate --code 3", cli + "tur"});
    ASSERT_EQ(r.size(), 3u) << bed.console();
    for (int i : {0, 1}) {
        EXPECT_EQ(r[i].exitCode, 1) << r[i].err << bed.console();
        EXPECT_NE(r[i].out.find("]\n Format\n [Vexal_CmdStatus: INVALID_COMMAND_OPERATION_CODE\n"), std::string::npos)
            << r[i].out;
        EXPECT_NE(r[i].out.find("   ASC: 0x20  ASCQ: 0x00\n"), std::string::npos) << r[i].out;
        EXPECT_EQ(r[i].out.find("RAW_CDB"), std::string::npos) << r[i].out;
    }
    // The refusal is not carried over to the next command.
    EXPECT_EQ(r[2].exitCode, 0) << r[2].out;
    EXPECT_EQ(r[2].out.find("ASC: 0x20"), std::string::npos) << r[2].out;
}

}  // namespace
}  // namespace vexal::testing
