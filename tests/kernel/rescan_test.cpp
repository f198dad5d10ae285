// Rescanning the SCSI hosts only when asked: a device deleted on purpose stays deleted
// through scans and commands, and `scan --rescan` brings it back.
#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include <nlohmann/json.hpp>

#include "kernel/kernel_bed.h"

namespace vexal::testing {
namespace {

std::set<std::tuple<int, int, int>> addresses(const std::string& json) {
    std::set<std::tuple<int, int, int>> out;
    const auto list = nlohmann::json::parse(json, nullptr, false);
    if (!list.is_array()) return out;
    for (const auto& d : list) out.emplace(d["hba"].get<int>(), d["target"].get<int>(), d["lun"].get<int>());
    return out;
}

TEST(KernelRescanTest, ADeletedDeviceStaysDeletedUntilScanRescan) {
    VEXAL_REQUIRE_KERNEL_BED();
    KernelBed bed;
    BedSetup setup;
    setup.scsiDebug = "ptype=1 num_tgts=2 max_luns=2 opts=1";
    setup.asRoot = {"echo 1 >/sys/class/scsi_device/0:0:0:0/device/delete", "dmesg -C"};
    const auto r = bed.run(setup, {"$VEXAL --json scan", "$VEXAL --engineering --device 1 tur", "$VEXAL --json scan",
                                   "dmesg | grep -c 'cmd a0' || true", "$VEXAL --json scan --rescan",
                                   "dmesg | grep -c 'cmd a0' || true"});
    const std::set<std::tuple<int, int, int>> all{{0, 0, 0}, {0, 0, 1}, {0, 1, 0}, {0, 1, 1}};
    std::set<std::tuple<int, int, int>> remaining = all;
    remaining.erase({0, 0, 0});

    ASSERT_EQ(r[0].exitCode, 0) << r[0].err << bed.console();
    // LUN 1 of target 0 is listed though its LUN 0 is gone.
    EXPECT_EQ(addresses(r[0].out), remaining) << r[0].out;
    EXPECT_EQ(r[1].exitCode, 0) << r[1].out << r[1].err;
    EXPECT_EQ(addresses(r[2].out), remaining) << r[2].out;
    // Not one REPORT LUNS: nothing asked the kernel to scan.
    EXPECT_EQ(r[3].out, "0\n");

    ASSERT_EQ(r[4].exitCode, 0) << r[4].err;
    EXPECT_EQ(addresses(r[4].out), all) << r[4].out;
    EXPECT_NE(r[5].out, "0\n");
}

}  // namespace
}  // namespace vexal::testing
