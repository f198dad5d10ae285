// The bus scan and device addressing on a real kernel: SCSI hosts, targets and LUNs as
// sysfs and /dev/sg show them.
#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include <nlohmann/json.hpp>

#include "kernel/kernel_bed.h"

namespace vexal::testing {
namespace {

TEST(KernelScanTest, TwoHostsWithSeveralTargetsAndLunsAreListedAtTheirAddresses) {
    VEXAL_REQUIRE_KERNEL_BED();
    KernelBed bed;
    BedSetup setup;
    setup.scsiDebug = "ptype=1 add_host=2 num_tgts=2 max_luns=2";
    const auto r = bed.run(setup, {"$VEXAL --json scan", "$VEXAL --engineering --device 1:1:1 inquiry"});
    ASSERT_EQ(r[0].exitCode, 0) << r[0].err << bed.console();
    const auto list = nlohmann::json::parse(r[0].out, nullptr, false);
    ASSERT_TRUE(list.is_array()) << r[0].out;
    ASSERT_EQ(list.size(), 8u) << r[0].out;
    std::set<std::tuple<int, int, int>> addresses;
    for (const auto& d : list) {
        EXPECT_EQ(d["vendor"], "Linux");
        EXPECT_EQ(d["model"], "scsi_debug");
        EXPECT_EQ(d["type"], "Tape");
        addresses.emplace(d["hba"].get<int>(), d["target"].get<int>(), d["lun"].get<int>());
    }
    const std::set<std::tuple<int, int, int>> expected{{0, 0, 0}, {0, 0, 1}, {0, 1, 0}, {0, 1, 1},
                                                        {1, 0, 0}, {1, 0, 1}, {1, 1, 0}, {1, 1, 1}};
    EXPECT_EQ(addresses, expected);

    // An H:T:L reaches that device: its INQUIRY frame names the address it went to.
    EXPECT_EQ(r[1].exitCode, 0) << r[1].out << r[1].err;
    EXPECT_NE(r[1].out.find("scsi_debug"), std::string::npos) << r[1].out;
}

}  // namespace
}  // namespace vexal::testing
