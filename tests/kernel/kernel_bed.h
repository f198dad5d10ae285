#pragma once
// The kernel test bed: a real Linux SCSI stack (user-mode Linux with scsi_debug and sg)
// booted as an ordinary process, running shell commands that use the real /dev/sg nodes,
// the kernel's sysfs and its SG_IO paths. scsi_debug proves the transport, not tape
// behaviour: that stays with the virtual drive and tgtd.
//
// Each command runs inside with these variables set:
//   VEXAL        the vexal-cli under test
//   VEXAL_ROOT   a fresh data root (on the host, writable as root)
//   BED          the bed's scratch folder (on the host: read back by the test)
//   NOBODY       a prefix that runs a program as an unprivileged user
//   USER_ROOT    a data root that user may write (tmpfs, mode 1777)
//   VEXAL_PASSPHRASE  the engineering pass phrase
#include <filesystem>
#include <string>
#include <vector>

namespace vexal::testing {

struct BedResult {
    int exitCode = -1;  // -1: the command never finished (boot failure or time-out)
    std::string out;
    std::string err;
};

struct BedSetup {
    std::string scsiDebug = "ptype=1";  // scsi_debug module parameters
    std::vector<std::string> asRoot;    // shell lines run before the commands, as root
    int commandTimeoutSeconds = 60;     // each command, inside
    int bootTimeoutSeconds = 240;       // the whole run, on the host
};

class KernelBed {
public:
    KernelBed();
    ~KernelBed();
    KernelBed(const KernelBed&) = delete;
    KernelBed& operator=(const KernelBed&) = delete;

    // Why the bed cannot run on this machine, or "" when it can.
    static std::string unavailableReason();

    // Boots a kernel, loads the modules, runs `commands` in order, powers off. One result
    // per command. No kernel process is left behind, whatever happens.
    std::vector<BedResult> run(const BedSetup& setup, const std::vector<std::string>& commands);

    // What the kernel printed on its console during the last run (for failure messages).
    std::string console() const;
    const std::filesystem::path& folder() const { return folder_; }

private:
    std::filesystem::path folder_;
};

// Skips the current test with one line when the bed cannot run here.
#define VEXAL_REQUIRE_KERNEL_BED()                                                              \
    do {                                                                                        \
        const std::string why = ::vexal::testing::KernelBed::unavailableReason();               \
        if (!why.empty()) GTEST_SKIP() << "kernel test bed unavailable: " << why;              \
    } while (0)

}  // namespace vexal::testing
