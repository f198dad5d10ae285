// Data from the device counts only as far as it is known to have been sent. On CHECK
// CONDITION the kernel's SG_IO reports a residual of 0 and leaves sg's reserve buffer (the
// previous command's data on the descriptor, here the scan's INQUIRY) in the buffer: none
// of it may be shown, decoded or returned.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "kernel/kernel_bed.h"

namespace vexal::testing {
namespace {

TEST(KernelDataRuleTest, FailedDataInCommandsShowNoDataAndGoodOnesTheirBytes) {
    VEXAL_REQUIRE_KERNEL_BED();
    KernelBed bed;
    const auto r = bed.run({}, {"$VEXAL --engineering --json --device 0:0:0 cdb '05 00 00 00 00 00' --in 6",
                                "$VEXAL --engineering --device 0:0:0 read-block-limits",
                                "$VEXAL --engineering --device 0:0:0 receive-diagnostic",
                                "$VEXAL --engineering --json --device 0:0:0 cdb '12 00 00 00 24 00' --in 36"});
    ASSERT_EQ(r.size(), 4u);

    // READ BLOCK LIMITS is refused (5/20/00): no byte came.
    ASSERT_EQ(r[0].exitCode, 1) << r[0].out << r[0].err << bed.console();
    const auto refused = nlohmann::json::parse(r[0].out);
    EXPECT_EQ(refused["target_status"], 2);
    EXPECT_EQ(refused["sense"].get<std::string>().substr(0, 8), "70 00 05");
    EXPECT_EQ(refused["transferred"], 0);
    EXPECT_EQ(refused["data"], "");

    // The frames of refused data-in commands dump and decode nothing of the buffer.
    for (size_t i : {1, 2}) {
        SCOPED_TRACE(i);
        EXPECT_EQ(r[i].exitCode, 1) << r[i].err;
        EXPECT_NE(r[i].out.find(" RAW_DATA: 0\n [Vexal_CmdStatus: INVALID_COMMAND_OPERATION_CODE\n"),
                  std::string::npos)
            << r[i].out;
    }
    EXPECT_EQ(r[1].out.find("Block Length"), std::string::npos) << r[1].out;
    EXPECT_EQ(r[1].out.find("Granularity"), std::string::npos) << r[1].out;

    // A command that ends GOOD returns what it sent.
    ASSERT_EQ(r[3].exitCode, 0) << r[3].err;
    const auto good = nlohmann::json::parse(r[3].out);
    EXPECT_EQ(good["transferred"], 36);
    EXPECT_EQ(good["data"].get<std::string>().size(), 36u * 3 - 1);
    EXPECT_EQ(good["data"].get<std::string>().substr(0, 2), "01");  // sequential-access device
}

}  // namespace
}  // namespace vexal::testing
