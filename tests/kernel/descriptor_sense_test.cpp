// Descriptor-format sense from a real kernel: scsi_debug with dsense=1 answers with 72h
// sense, and vexal-cli shows, names and scripts it as it does the fixed format.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "kernel/kernel_bed.h"

namespace vexal::testing {
namespace {

// The status line and the decoded sense lines of a frame.
std::vector<std::string> senseLines(const std::string& out) {
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        for (const char* prefix : {" [Vexal_CmdStatus:", "   Error Code:", "   Sense Key:", "   Flags:", "   ASC:"})
            if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    return lines;
}

constexpr const char* kScript = R"(cat > $BED/STOPPED.SCS <<'END'
DESCRIPTION descriptor sense
BYTE sk = 0
BYTE asc = 0
BYTE ascq = 0
CDB Tur { 6 , NONE , 0 , SCSI_TEST_UNIT_READY , 0 , 0 , 0 , 0 , 0 }
SENSEKEYS Stopped 02 04 02 Initializing command required
Start:
SCSI Tur
GETSENSE sk asc ascq
IFSENSE Stopped JUMP Stopped
MSG not recognised
EXIT 1
Stopped:
MSG recognised
EXIT 0
END
$VEXAL --device 0:0:0 run $BED/STOPPED.SCS)";

TEST(KernelSenseTest, DescriptorSenseShowsTheLinesOfFixedSense) {
    VEXAL_REQUIRE_KERNEL_BED();
    KernelBed bed;
    BedSetup setup;
    setup.scsiDebug = "ptype=1";
    // REWIND stops scsi_debug's unit: TEST UNIT READY then ends NOT READY 04/02, first
    // in fixed format, then (dsense switched on) in descriptor format.
    const auto r = bed.run(setup, {
        "$VEXAL --engineering --device 0:0:0 cdb '01 00 00 00 00 00'",
        "$VEXAL --engineering --device 0:0:0 tur",
        "$VEXAL --engineering --json --device 0:0:0 cdb '00 00 00 00 00 00'",
        "echo 1 >/sys/bus/pseudo/drivers/scsi_debug/dsense && $VEXAL --engineering --device 0:0:0 tur",
        "$VEXAL --engineering --json --device 0:0:0 cdb '00 00 00 00 00 00'",
        "$VEXAL --engineering --device 0:0:0 cdb '00 00 00 00 00 00'",
        kScript,
    });
    ASSERT_EQ(r[0].exitCode, 0) << r[0].out << r[0].err << bed.console();

    ASSERT_EQ(r[1].exitCode, 1) << r[1].out << r[1].err;
    const std::vector<std::string> fixed{" [Vexal_CmdStatus: LOGICAL_UNIT_NOT_READY_INITIALIZING_COMMAND_REQUIRED",
                                         "   Error Code: Current Error", "   Sense Key: 0x02 (Not Ready)",
                                         "   Flags: ", "   ASC: 0x04  ASCQ: 0x02"};
    EXPECT_EQ(senseLines(r[1].out), fixed) << r[1].out;
    ASSERT_EQ(r[3].exitCode, 1) << r[3].out << r[3].err;
    std::vector<std::string> descriptor = fixed;
    descriptor[1] = "   Error Code: Current Error (descriptor format)";
    EXPECT_EQ(senseLines(r[3].out), descriptor) << r[3].out;
    EXPECT_NE(r[3].out.find("  000000: 72 02 04 02 "), std::string::npos) << r[3].out;

    // --json: the raw bytes differ, the decoded fields do not.
    for (size_t i : {2u, 4u}) {
        EXPECT_EQ(r[i].exitCode, 1) << r[i].err;
        const auto j = nlohmann::json::parse(r[i].out, nullptr, false);
        ASSERT_TRUE(j.is_object()) << r[i].out;
        EXPECT_EQ(j["target_status"], 2);
        EXPECT_EQ(j["sense_key"], 2);
        EXPECT_EQ(j["asc"], 4);
        EXPECT_EQ(j["ascq"], 2);
        EXPECT_EQ(j["sense"].get<std::string>().substr(0, 2), i == 2 ? "70" : "72") << r[i].out;
    }
    // The Create CDB frame decodes descriptor sense as the TEST UNIT READY frame does.
    EXPECT_EQ(senseLines(r[5].out), descriptor) << r[5].out;

    // A script recognises the condition through its sense key table.
    EXPECT_EQ(r[6].exitCode, 0) << r[6].out << r[6].err;
    EXPECT_NE(r[6].out.find("recognised"), std::string::npos) << r[6].out;
    EXPECT_EQ(r[6].out.find("not recognised"), std::string::npos) << r[6].out;
}

}  // namespace
}  // namespace vexal::testing
