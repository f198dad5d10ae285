// --device /dev/sgN and --device H:T:L on a real kernel: the one device is reached without
// opening the others (a user who may open only that node meets no refusal), and the stored
// selection of the full list is left as it was.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "kernel/kernel_bed.h"

namespace vexal::testing {
namespace {

TEST(KernelOneDeviceTest, ANamedDeviceIsOpenedAloneAndTheStoredSelectionStays) {
    VEXAL_REQUIRE_KERNEL_BED();
    KernelBed bed;
    BedSetup setup;
    setup.scsiDebug = "ptype=1 add_host=2 num_tgts=2 max_luns=2";
    // Only sg5 (1:0:0:1) is open to everyone; every other node stays root's alone.
    setup.asRoot = {"chmod 666 /dev/sg5"};
    const std::string user = "$NOBODY env VEXAL_ROOT=$USER_ROOT $VEXAL --engineering ";
    const auto r = bed.run(setup, {
                                      "$VEXAL select 2",
                                      user + "--device /dev/sg5 --json cdb '12 01 80 00 08 00' --in 8",
                                      user + "--device 1:0:1 tur",
                                      "$VEXAL --engineering --device /dev/sg3 tur",
                                      "$VEXAL --engineering --device 1:1:1 tur",
                                      "grep -A1 'Selected Device 1' $VEXAL_ROOT/config/Mendra/Vexal.ini",
                                      "$VEXAL --engineering --device /dev/sg9 tur",
                                      "$VEXAL --engineering --device 1:3:0 tur",
                                  });
    ASSERT_EQ(r[0].exitCode, 0) << r[0].err << bed.console();

    // The user reaches sg5 by node and by address; a full scan would have named the seven
    // nodes it may not open.
    ASSERT_EQ(r[1].exitCode, 0) << r[1].err;
    EXPECT_EQ(r[1].err, "");
    const auto j = nlohmann::json::parse(r[1].out, nullptr, false);
    ASSERT_TRUE(j.is_object()) << r[1].out;
    EXPECT_EQ(j["data"], "01 80 00 04 34 30 30 31") << r[1].out;  // page 80h of 1:0:0:1: "4001"
    EXPECT_EQ(r[2].exitCode, 0) << r[2].err;
    EXPECT_EQ(r[2].err, "");

    EXPECT_EQ(r[3].exitCode, 0) << r[3].err;
    EXPECT_EQ(r[4].exitCode, 0) << r[4].err;
    EXPECT_NE(r[5].out.find("UnitNumber=2"), std::string::npos) << r[5].out;

    // A node or an address with nothing there: no such device, and no "no devices detected".
    for (int i : {6, 7}) {
        EXPECT_EQ(r[i].exitCode, 3) << r[i].err;
        EXPECT_NE(r[i].err.find("There is no device"), std::string::npos) << r[i].err;
        EXPECT_EQ(r[i].err.find("No SCSI devices have been detected"), std::string::npos) << r[i].err;
    }
}

}  // namespace
}  // namespace vexal::testing
