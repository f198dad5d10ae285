// The session layer on a real kernel: the readiness check over SG_IO, the bus reset through
// the document's reset worker, a run on two devices in turn, and a session log on a file
// system that fills up.
#include <gtest/gtest.h>

#include <string>

#include "kernel/kernel_bed.h"

namespace vexal::testing {
namespace {

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// Forty TEST UNIT READY commands, whose frames in engineering mode are far more than a
// one-page file system holds after the log's header.
constexpr const char* kChatty =
    "{ echo 'DESCRIPTION many log lines'; "
    "echo 'CDB Tur { 6 , NONE , 0 , SCSI_TEST_UNIT_READY , 0 , 0 , 0 , 0 , 0 }'; echo 'Start:'; "
    "for i in $(seq 40); do echo 'SCSI Tur'; done; echo 'EXIT 0'; } > $BED/CHATTY.SCS && "
    "$VEXAL --engineering fingerprint $BED/CHATTY.SCS";

TEST(KernelSessionTest, ReadinessResetSeveralDevicesAndAFullLogFileSystem) {
    VEXAL_REQUIRE_KERNEL_BED();
    KernelBed bed;
    BedSetup setup;
    setup.scsiDebug = "ptype=1 num_tgts=2";
    const std::string logs = "$VEXAL_ROOT/data/Korvane/Vexal/Logs";
    const auto r = bed.run(
        setup, {
                   "$VEXAL --device 0:0:0 ready",
                   // scsi_debug stops its unit on REWIND: NOT READY until LOAD.
                   "$VEXAL --engineering --device 0:0:0 rewind >/dev/null; $VEXAL --device 0:0:0 ready",
                   "$VEXAL --engineering --device 0:0:0 load >/dev/null; $VEXAL --engineering --device 0:0:0 bus-reset",
                   kChatty,
                   "$VEXAL --yes run --device 0:0:0 --device 0:1:0 $BED/CHATTY.SCS",
                   // A one-page file system holds the header and a few lines.
                   "mkdir -p " + logs + " && mount -t tmpfs -o size=4k tmpfs " + logs +
                       " && $VEXAL --engineering --log --device 0:0:0 run $BED/CHATTY.SCS",
                   "cat " + logs + "/*.txt",
               });
    ASSERT_EQ(r.size(), 7u);

    EXPECT_EQ(r[0].exitCode, 0) << r[0].out << r[0].err << bed.console();
    EXPECT_NE(r[0].out.find("Your tape device is ready to run a test."), std::string::npos) << r[0].out;
    EXPECT_EQ(r[1].exitCode, 1) << r[1].out << r[1].err;
    EXPECT_NE(r[1].out.find("The wizard was unable to prepare your tape device"), std::string::npos) << r[1].out;

    EXPECT_EQ(r[2].exitCode, 0) << r[2].out << r[2].err;
    EXPECT_EQ(count(r[2].out, "\n ResetBus\n"), 1u) << r[2].out;
    EXPECT_NE(r[2].out.find("SCSI_GOOD"), std::string::npos) << r[2].out;

    EXPECT_EQ(r[4].exitCode, 0) << r[4].out << r[4].err;
    EXPECT_EQ(count(r[4].out, "[Vexal_Starting_Script on "), 2u) << r[4].out;
    EXPECT_EQ(count(r[4].out, "[Vexal_Ending_Script on "), 2u) << r[4].out;
    EXPECT_NE(r[4].out.find(" H:0 T:0 L:0 "), std::string::npos) << r[4].out;
    EXPECT_NE(r[4].out.find(" H:0 T:1 L:0 "), std::string::npos) << r[4].out;

    // The full file system loses lines; the first is reported once, the run goes on.
    EXPECT_EQ(r[5].exitCode, 0) << r[5].out << r[5].err;
    EXPECT_EQ(count(r[5].err, "could not be written to the session log file (No space left on device)"), 1u)
        << r[5].err;
    EXPECT_EQ(count(r[5].out, "could not be written to the session log file (No space left on device)"), 1u)
        << r[5].out;
    EXPECT_EQ(count(r[5].out, "\n Custom CDB\n"), 40u) << "the view keeps them all";
    EXPECT_EQ(r[6].exitCode, 0) << r[6].err;
    EXPECT_NE(r[6].out.find("Start Time: "), std::string::npos) << r[6].out;
    EXPECT_LT(count(r[6].out, " Custom CDB"), 40u) << r[6].out;
}

}  // namespace
}  // namespace vexal::testing
