// What the scan asks a real kernel's devices and what it shows: serial numbers from each
// device's VPD page 80h, and INQUIRY commands whose byte 1 carries no LUN bits (the kernel
// passes byte 1 on unchanged; the LUN is the transport's business).
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <sstream>
#include <tuple>

#include <nlohmann/json.hpp>

#include "kernel/kernel_bed.h"

namespace vexal::testing {
namespace {

TEST(KernelScanIdentityTest, SerialNumbersComeFromPage80hAndInquiryLeavesTheLunBitsClear) {
    VEXAL_REQUIRE_KERNEL_BED();
    KernelBed bed;
    BedSetup setup;
    // opts=1: scsi_debug logs every CDB it receives.
    setup.scsiDebug = "ptype=1 add_host=2 num_tgts=2 max_luns=2 opts=1";
    setup.asRoot = {"dmesg -C"};
    const auto r = bed.run(setup, {"$VEXAL --json scan", "dmesg", "$VEXAL scan"});
    ASSERT_EQ(r[0].exitCode, 0) << r[0].err << bed.console();
    const auto list = nlohmann::json::parse(r[0].out, nullptr, false);
    ASSERT_TRUE(list.is_array()) << r[0].out;
    ASSERT_EQ(list.size(), 8u) << r[0].out;

    // scsi_debug's serial number is (host + 1) * 2000 + target * 1000 + LUN.
    for (const auto& d : list) {
        const int h = d["hba"], t = d["target"], l = d["lun"];
        EXPECT_EQ(d["serial"], std::to_string((h + 1) * 2000 + t * 1000 + l)) << d.dump();
        EXPECT_EQ(d["node"].get<std::string>().rfind("/dev/sg", 0), 0u) << d.dump();
    }
    EXPECT_NE(r[2].out.find("Serial Number"), std::string::npos);
    EXPECT_NE(r[2].out.find("5001"), std::string::npos) << r[2].out;

    // Every INQUIRY the scan sent, to LUN 1 as to LUN 0: byte 1 is 00 or (EVPD) 01.
    const std::regex inquiry(R"(scsi (\d+:\d+:\d+:(\d+)): scsi_debug: tag=\S+ cmd 12 ([0-9a-f]{2}) )");
    std::map<std::string, int> perLun;
    std::istringstream lines(r[1].out);
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (!std::regex_search(line, m, inquiry)) continue;
        ++perLun[m[2]];
        EXPECT_TRUE(m[3] == "00" || m[3] == "01") << line;
    }
    EXPECT_GE(perLun["0"], 4 * 3) << r[1].out;  // probe, refresh and page 80h on each LUN 0
    EXPECT_GE(perLun["1"], 4 * 3) << r[1].out;
}

}  // namespace
}  // namespace vexal::testing
