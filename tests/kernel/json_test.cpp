// vexal-cli --json on the kernel's SCSI generic path: one document per run with the device
// it reached, and a refused command's status and sense from the real SG_IO sense buffer;
// data the drive did not send is neither dumped nor decoded into fields.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "kernel/kernel_bed.h"

namespace vexal::testing {
namespace {

TEST(KernelJsonTest, DocumentsNameTheDeviceAndARefusedCommandsSense) {
    VEXAL_REQUIRE_KERNEL_BED();
    KernelBed bed;
    const auto r = bed.run({}, {"$VEXAL --json --device 0:0:0 tur",
                                "$VEXAL --json --engineering --device /dev/sg0 read-block-limits"});
    ASSERT_EQ(r.size(), 2u);

    ASSERT_EQ(r[0].exitCode, 0) << r[0].out << r[0].err << bed.console();
    const auto tur = nlohmann::json::parse(r[0].out, nullptr, false);
    ASSERT_TRUE(tur.is_object()) << r[0].out;
    EXPECT_EQ(tur["command"], "tur");
    EXPECT_EQ(tur["status"], "SCSI_GOOD");
    EXPECT_EQ(tur["device"]["address"], "0:0:0");
    EXPECT_EQ(tur["device"]["node"], "/dev/sg0");
    EXPECT_FALSE(tur.contains("sense_key"));

    // scsi_debug refuses READ BLOCK LIMITS with ILLEGAL REQUEST, 20/00.
    ASSERT_EQ(r[1].exitCode, 1) << r[1].out << r[1].err;
    const auto refused = nlohmann::json::parse(r[1].out, nullptr, false);
    ASSERT_TRUE(refused.is_object()) << r[1].out;
    EXPECT_EQ(refused["exit"], 1);
    EXPECT_EQ(refused["status"], "INVALID_COMMAND_OPERATION_CODE");
    EXPECT_EQ(refused["sense_key"], 5);
    EXPECT_EQ(refused["asc"], 0x20);
    EXPECT_EQ(refused["ascq"], 0);
    EXPECT_EQ(refused["fields"]["RAW_DATA"], 0);
    EXPECT_FALSE(refused["fields"].contains("Maximum Block Length")) << refused.dump(2);
}

}  // namespace
}  // namespace vexal::testing
