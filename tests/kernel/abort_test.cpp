// Ctrl+C and SIGTERM while a command waits in SG_IO on a real kernel: scsi_debug is made to
// answer after 30 s once the command's program is under way. SG_IO cannot be aborted from
// user space; the first Ctrl+C gives up the wait at once and the program ends by itself,
// and SIGTERM ends it at once; the session log is closed either way.
#include <gtest/gtest.h>

#include <string>

#include "kernel/kernel_bed.h"

namespace vexal::testing {
namespace {

constexpr const char* kScript = R"(cat > $BED/STALL.SCS <<'END'
DESCRIPTION a drive that stops answering
CDB Tur { 6 , NONE , 0 , SCSI_TEST_UNIT_READY , 0 , 0 , 0 , 0 , 0 }
Start:
MSG stall now
SLEEP 2000
SCSI Tur
MSG after the command
EXIT 0
END)";

// Starts `command` in the background, makes every later command take 30 s once `shows`
// is in its output, sends `signal` 4 s later, and prints "rc=N took=S" (seconds from the
// signal to the end), then the program's stdout; its stderr and the closed log's last lines
// go to stderr. Before it returns, the stalled command has ended in the kernel.
std::string stalled(const std::string& command, const std::string& shows, const std::string& signal) {
    return "D=/sys/bus/pseudo/drivers/scsi_debug/delay; " + command +
           " >$BED/out.txt 2>$BED/err.txt & pid=$!; n=0; "
           "while ! grep -q '" + shows + "' $BED/out.txt $BED/err.txt && [ $n -lt 600 ]; do sleep 0.1; n=$((n+1)); done; "
           "echo 3000 >$D; sleep 4; kill -" + signal + " $pid; start=$(date +%s); wait $pid; rc=$?; "
           "echo rc=$rc took=$(( $(date +%s) - start )); "
           // scsi_debug refuses a new delay while a command is queued: the one given up
           // stays with the kernel until the device answers it.
           "n=0; until echo 1 >$D 2>/dev/null || [ $n -ge 60 ]; do sleep 1; n=$((n+1)); done; cat $BED/out.txt; cat $BED/err.txt >&2; "
           "for f in $VEXAL_ROOT/data/Korvane/Vexal/Logs/*.txt; do tail -n 2 $f >&2; rm -f $f; done";
}

TEST(KernelAbortTest, CtrlCGivesUpAStalledSgIoAndSigtermEndsTheProgramAtOnce) {
    VEXAL_REQUIRE_KERNEL_BED();
    KernelBed bed;
    BedSetup setup;
    setup.commandTimeoutSeconds = 120;
    const auto r = bed.run(setup, {
        kScript,
        stalled("$VEXAL --engineering --device 0:0:0 --log run $BED/STALL.SCS", "stall now", "INT"),
        stalled("$VEXAL --engineering --device 0:0:0 --log ready", "Checking unit readiness", "TERM"),
    });
    ASSERT_EQ(r[0].exitCode, 0) << r[0].err << bed.console();

    const BedResult& run = r[1];
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err << bed.console();
    // Ended by itself within a second or two of Ctrl+C, not after the drive's 30 s.
    EXPECT_NE(run.out.find("rc=1 took="), std::string::npos) << run.out << run.err;
    const auto took = run.out.find("took=");
    ASSERT_NE(took, std::string::npos) << run.out;
    EXPECT_LE(std::stoi(run.out.substr(took + 5)), 3) << run.out;
    EXPECT_NE(run.out.find("[Vexal_Aborting_Script on "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("SRB_STATUS_ABORTED"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("after the command"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("SG_IO cannot be aborted"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Stop Time: "), std::string::npos) << "the log was closed\n" << run.err;

    const BedResult& ready = r[2];
    ASSERT_EQ(ready.exitCode, 0) << ready.out << ready.err << bed.console();
    EXPECT_NE(ready.out.find("rc=143 took="), std::string::npos) << "ended by SIGTERM\n" << ready.out << ready.err;
    const auto readyTook = ready.out.find("took=");
    ASSERT_NE(readyTook, std::string::npos) << ready.out;
    EXPECT_LE(std::stoi(ready.out.substr(readyTook + 5)), 1) << ready.out;
    EXPECT_NE(ready.err.find("Stop Time: "), std::string::npos) << "the log was closed\n" << ready.err;
}

}  // namespace
}  // namespace vexal::testing
