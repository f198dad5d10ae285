// --device as the kernel names a device (H:C:T:L, as lsscsi shows it) on a real kernel: the
// same device as its /dev/sgN, opened alone; options after the command; a malformed value is
// a usage error and a node the user may not open is an environment error.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "kernel/kernel_bed.h"

namespace vexal::testing {
namespace {

std::string data(const BedResult& r) {
    const auto j = nlohmann::json::parse(r.out, nullptr, false);
    return j.is_object() && j.contains("data") ? j["data"].get<std::string>() : "(no JSON: " + r.out + ")";
}

TEST(KernelDeviceFormsTest, TheKernelsAddressNamesTheSameDeviceAsItsNode) {
    VEXAL_REQUIRE_KERNEL_BED();
    KernelBed bed;
    BedSetup setup;
    setup.scsiDebug = "ptype=1 add_host=2 num_tgts=2 max_luns=2";
    setup.asRoot = {"chmod 666 /dev/sg5"};  // 1:0:0:1, the only node the user may open
    const std::string user = "$NOBODY env VEXAL_ROOT=$USER_ROOT $VEXAL ";
    const std::string serial = " cdb '12 01 80 00 08 00' --in 8 --json --engineering";
    const auto r = bed.run(setup, {
                                      "$VEXAL --device /dev/sg3" + serial,
                                      "$VEXAL" + serial + " --device 0:0:1:1",  // options after the command
                                      user + "--device 1:0:0:1" + serial,
                                      user + "--engineering --device 1:0:0:0 tur",
                                      "$VEXAL --engineering --device 0:0:7:0 tur",
                                      "$VEXAL --engineering --device 0:x:1:0 tur",
                                      "$VEXAL tur --device 0:0:1:0 --timeout 0x1E --engineering",
                                  });
    ASSERT_EQ(r[0].exitCode, 0) << r[0].err << bed.console();
    EXPECT_EQ(r[1].exitCode, 0) << r[1].err;
    EXPECT_EQ(data(r[0]).substr(0, 5), "01 80") << r[0].out;
    EXPECT_EQ(data(r[1]), data(r[0]));

    // Found without opening the other nodes: the user meets no refusal.
    EXPECT_EQ(r[2].exitCode, 0) << r[2].err;
    EXPECT_EQ(r[2].err, "");
    EXPECT_EQ(data(r[2]), "01 80 00 04 34 30 30 31");  // page 80h of 1:0:0:1: "4001"

    EXPECT_EQ(r[3].exitCode, 4) << r[3].err;  // there, but the user may not open it
    EXPECT_NE(r[3].err.find("permission denied"), std::string::npos) << r[3].err;

    EXPECT_EQ(r[4].exitCode, 3) << r[4].err;
    EXPECT_NE(r[4].err.find("There is no device 0:0:7:0"), std::string::npos) << r[4].err;

    EXPECT_EQ(r[5].exitCode, 2) << r[5].err;
    EXPECT_NE(r[5].err.find("H:T:L, H:C:T:L or /dev/sgN"), std::string::npos) << r[5].err;

    EXPECT_EQ(r[6].exitCode, 0) << r[6].err;
}

}  // namespace
}  // namespace vexal::testing
