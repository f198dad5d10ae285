// Failures of the pass-through itself, as the kernel gives them: each names the errno and
// the node, shows no data and no earlier command's sense, and ends the frame with a status.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "kernel/kernel_bed.h"

namespace vexal::testing {
namespace {

TEST(KernelPassThroughTest, TransferTheKernelRefusesNamesItsErrnoAndShowsNoData) {
    VEXAL_REQUIRE_KERNEL_BED();
    KernelBed bed;
    const auto r = bed.run({}, {"$VEXAL --engineering --json --device 0:0:0 cdb '08 00 00 00 00 00' --in 16777216",
                                "$VEXAL --engineering --device 0:0:0 cdb '08 00 00 00 00 00' --in 16777216"});
    ASSERT_EQ(r.size(), 2u);
    ASSERT_EQ(r[0].exitCode, 1) << r[0].out << r[0].err << bed.console();
    const auto j = nlohmann::json::parse(r[0].out);
    EXPECT_EQ(j["errno"], 22);
    EXPECT_EQ(j["system_error"], "/dev/sg0: Invalid argument");
    EXPECT_TRUE(j["target_status"].is_null());
    EXPECT_EQ(j["transferred"], 0);
    EXPECT_EQ(j["data"], "");

    EXPECT_EQ(r[1].exitCode, 1);
    EXPECT_EQ(r[1].out.find("Status: GOOD"), std::string::npos) << r[1].out;
    EXPECT_NE(r[1].out.find(" RAW_DATA: 0\n"), std::string::npos) << r[1].out;
    EXPECT_NE(r[1].out.find(" [Vexal_System_Error: /dev/sg0: Invalid argument]\n"), std::string::npos) << r[1].out;
    EXPECT_LT(r[1].out.size(), 1000u);  // no dump of 16 MiB of zeros
}

TEST(KernelPassThroughTest, ReadOnlyNodeAndRefusedResetSayWhyWithoutOldSense) {
    VEXAL_REQUIRE_KERNEL_BED();
    KernelBed bed;
    BedSetup setup;
    // The user may read the node but not write it: it is opened read-only.
    setup.asRoot = {"chmod 0644 /dev/sg0"};
    const std::string user = "$NOBODY env VEXAL_ROOT=$USER_ROOT $VEXAL --engineering ";
    const auto r = bed.run(setup, {user + "--json --device 0:0:0 cdb '0A 00 00 00 04 00' --out '00 01 02 03'",
                                   user + "--device 0:0:0 write --transfer-length 512",
                                   user + "--device 0:0:0 bus-reset"});
    ASSERT_EQ(r.size(), 3u);
    ASSERT_EQ(r[0].exitCode, 1) << r[0].out << r[0].err << bed.console();
    const auto j = nlohmann::json::parse(r[0].out);
    EXPECT_EQ(j["errno"], 1);
    EXPECT_EQ(j["system_error"], "/dev/sg0 (opened read-only): Operation not permitted");
    EXPECT_EQ(j["sense"], "");

    EXPECT_EQ(r[1].exitCode, 1) << r[1].err;
    EXPECT_NE(r[1].out.find(" [Vexal_CmdStatus: SRB_STATUS_INVALID_SRB\n"
                            " [Vexal_System_Error: /dev/sg0 (opened read-only): Operation not permitted]\n"),
              std::string::npos)
        << r[1].out << r[1].err;

    // Only a privileged user may reset a device: refused, named, and without the sense the
    // scan's commands left behind.
    EXPECT_EQ(r[2].exitCode, 1) << r[2].err;
    EXPECT_NE(r[2].out.find(" [Vexal_CmdStatus: SRB_STATUS_INVALID_SRB\n [Vexal_System_Error: /dev/sg0 (opened "
                            "read-only): Permission denied]\n"),
              std::string::npos)
        << r[2].out << r[2].err;
    EXPECT_EQ(r[2].out.find("INVALID_FIELD_IN_CDB"), std::string::npos) << r[2].out;
}

TEST(KernelPassThroughTest, DeviceDeletedMidRunEndsTheFrameWithWhatHappened) {
    VEXAL_REQUIRE_KERNEL_BED();
    KernelBed bed;
    BedSetup setup;
    setup.asRoot = {"printf 'DESCRIPTION Device deleted mid-run\\nVERSION 1.0\\n"
                    "CDB Ready { 6 , NONE , 0 , SCSI_TEST_UNIT_READY , 0 , 0 , 0 , 0 , 0 }\\n"
                    "Start:\\nSCSI Ready\\nSLEEP 4000\\nSCSI Ready\\nEXIT 0\\n' > $BED/deleted.scs"};
    const auto r = bed.run(setup, {"( sleep 2; echo 1 > /sys/class/scsi_device/0:0:0:0/device/delete ) & "
                                   "$VEXAL --engineering --device 0:0:0 run $BED/deleted.scs; wait"});
    ASSERT_EQ(r.size(), 1u);
    const std::string& out = r[0].out;
    EXPECT_NE(out.find(" [Vexal_CmdStatus: SCSI_GOOD\n"), std::string::npos) << out << r[0].err << bed.console();
    // The second TEST UNIT READY: the node's device is gone.
    const auto second = out.rfind(" Custom CDB\n");
    ASSERT_NE(second, std::string::npos) << out;
    const std::string frame = out.substr(second);
    EXPECT_NE(frame.find("  CDB: 00 00 00 00 00 00\n [Vexal_CmdStatus: SRB_STATUS_INVALID_SRB\n"
                         " [Vexal_System_Error: /dev/sg0: No such device]\n[Vexal_Command_Done on "),
              std::string::npos)
        << frame;
}

}  // namespace
}  // namespace vexal::testing
