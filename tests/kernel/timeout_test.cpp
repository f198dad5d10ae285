// Time-outs on a real kernel: scsi_debug answers each command after 5 s; with a time-out
// of 2 s the kernel ends them (DID_TIME_OUT). A command that only reads state is resent
// twice; one that may have acted (WRITE, REWIND) reaches the device exactly once; and it
// all ends within seconds.
#include <gtest/gtest.h>

#include <string>

#include "kernel/kernel_bed.h"

namespace vexal::testing {
namespace {

constexpr const char* kScript = R"(cat > $BED/SLOW.SCS <<'END'
DESCRIPTION a slow drive and a short time-out
BUFFER Data [ 512 ]
CDB Tur { 6 , NONE , 0 , SCSI_TEST_UNIT_READY , 0 , 0 , 0 , 0 , 0 }
CDB Wr { 6 , FROMHOST , Data , SCSI_WRITE , 0 , 0 , 0 , 1 , 0 }
CDB Rew { 6 , NONE , 0 , SCSI_REWIND , 0 , 0 , 0 , 0 , 0 }
Start:
SETSCSITIMEOUT 2
SCSI Tur
SCSI Wr
SCSI Rew
EXIT 0
END)";

// Runs a command with the kernel log cleared first; prints how long it took on stderr as
// "took=N" (whole seconds).
std::string timed(const std::string& command) {
    return "dmesg -C; start=$(date +%s); " + command + "; rc=$?; echo took=$(( $(date +%s) - start )) >&2; exit $rc";
}

// How many times scsi_debug received this CDB since the kernel log was last cleared.
std::string received(const std::string& cdb) { return "dmesg | grep -c 'scsi_debug: tag=.*, cmd " + cdb + " *$'"; }

int took(const BedResult& r) {
    const auto at = r.err.rfind("took=");
    return at == std::string::npos ? -1 : std::stoi(r.err.substr(at + 5));
}

TEST(KernelTimeoutTest, ASlowDriveWithAShortTimeOutEndsQuicklyAndWritesAndRewindsAreSentOnce) {
    VEXAL_REQUIRE_KERNEL_BED();
    KernelBed bed;
    BedSetup setup;
    setup.scsiDebug = "ptype=1 opts=1";  // opts=1: every CDB received goes to the kernel log
    setup.commandTimeoutSeconds = 120;
    // delay is in jiffies (HZ is 100 here): every command takes 5 s from now on.
    setup.asRoot = {"echo 500 >/sys/bus/pseudo/drivers/scsi_debug/delay"};
    const auto r = bed.run(setup, {
        kScript,
        timed("$VEXAL --engineering --device 0:0:0 run $BED/SLOW.SCS"),
        received("0a 00 00 00 01 00"),
        received("01 00 00 00 00 00"),
        // scsi_debug carried out the REWIND that timed out (it only delays the answer) and
        // stopped its unit, which it then answers at once: start it again, quickly (a slow
        // START STOP UNIT takes many times the delay).
        "D=/sys/bus/pseudo/drivers/scsi_debug/delay; echo 1 >$D && $VEXAL --engineering --device 0:0:0 load && "
        "echo 500 >$D",
        timed("$VEXAL --engineering --timeout 2 --device 0:0:0 rewind"),
        received("01 00 00 00 00 00"),
    });
    ASSERT_EQ(r[0].exitCode, 0) << r[0].err << bed.console();

    const BedResult& script = r[1];
    ASSERT_EQ(script.exitCode, 0) << script.out << script.err << bed.console();
    const std::string& out = script.out;
    EXPECT_NE(out.find(" [Vexal_CmdStatus: SRB_HASTAT_COMMAND_TIMEOUT\n"
                       "   The command was sent 3 times and timed out each time ("),
              std::string::npos)
        << out;
    EXPECT_NE(out.find(" s and was not sent again: it may have written to the tape.\n"), std::string::npos) << out;
    EXPECT_NE(out.find(" s and was not sent again: it may have moved the tape.\n"), std::string::npos) << out;
    EXPECT_EQ(r[2].out, "1\n") << "WRITE(6) received";
    EXPECT_EQ(r[3].out, "1\n") << "REWIND received";
    // The scan's own commands wait for the slow answers (about 15 s); the script's five
    // sends end after 2 to 3 s each, its two resends a second apart.
    EXPECT_LT(took(script), 50) << script.err;

    // --timeout gives a single command the short time-out; its frame says what happened.
    EXPECT_EQ(r[4].exitCode, 0) << r[4].out << r[4].err;
    const BedResult& rewind = r[5];
    EXPECT_EQ(rewind.exitCode, 1) << rewind.out << rewind.err;
    EXPECT_NE(rewind.out.find("Status: SRB_HASTAT_COMMAND_TIMEOUT\n"), std::string::npos) << rewind.out;
    EXPECT_NE(rewind.out.find("was not sent again: it may have moved the tape."), std::string::npos) << rewind.out;
    EXPECT_EQ(r[6].out, "1\n") << "REWIND received";
    EXPECT_LT(took(rewind), 35) << rewind.err;
}

}  // namespace
}  // namespace vexal::testing
