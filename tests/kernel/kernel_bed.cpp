#include "kernel/kernel_bed.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>
#include <thread>

namespace vexal::testing {

namespace fs = std::filesystem;

namespace {

constexpr const char* kUml = "/usr/bin/linux.uml";
constexpr const char* kModules = "/usr/lib/uml/modules";

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const fs::path& path, const std::string& text, fs::perms perms = fs::perms::owner_all) {
    std::ofstream(path, std::ios::binary) << text;
    fs::permissions(path, perms);
}

// The init script: mounts, modules, the commands (each its own file, so no quoting
// reaches the shell twice), then power off. Everything the test reads is written below
// $BED, which is the host's folder mounted writable.
std::string initScript(const fs::path& bed, const BedSetup& setup, size_t commands) {
    std::ostringstream s;
    s << "#!/bin/sh\n"
         "export PATH=/usr/sbin:/usr/bin:/sbin:/bin\n"
         "mount -t proc proc /proc\n"
         "mount -t sysfs sysfs /sys\n"
         "BED=" << bed.string() << "\n"
         "mount -t hostfs -o $BED hostfs $BED\n"
         "mount -t tmpfs -o mode=1777 tmpfs /run\n"
         "exec >$BED/init.log 2>&1\n"
         "M=" << kModules << "/$(uname -r)/kernel/drivers/scsi\n"
         "insmod $M/scsi_common.ko && insmod $M/scsi_mod.ko scan=sync && "
         "insmod $M/scsi_debug.ko " << setup.scsiDebug << " && insmod $M/sg.ko || echo 'modules failed'\n"
         "export VEXAL=" << VEXAL_CLI_PATH << " VEXAL_ROOT=$BED/root BED\n"
         "export NOBODY='setpriv --reuid=65534 --regid=65534 --clear-groups' USER_ROOT=/run/user-root\n"
         "export VEXAL_PASSPHRASE=Korvane-Eng42 LC_ALL=C.UTF-8\n"
         "mkdir -p $VEXAL_ROOT $USER_ROOT && chmod 1777 $USER_ROOT\n"
         "cd $BED\n";
    for (const std::string& line : setup.asRoot) s << line << "\n";
    for (size_t i = 0; i < commands; ++i)
        s << "timeout -s KILL " << setup.commandTimeoutSeconds << " sh $BED/cmd/" << i << ".sh </dev/null >$BED/res/"
          << i << ".out 2>$BED/res/" << i << ".err; echo $? >$BED/res/" << i << ".rc\n";
    // hostfs keeps written pages in the kernel's cache: flush them before the power goes.
    s << "sync\necho o >/proc/sysrq-trigger\nsleep 30\n";
    return s.str();
}

}  // namespace

KernelBed::KernelBed() {
    std::string pattern = (fs::temp_directory_path() / "vexal-bed-XXXXXX").string();
    if (char* made = ::mkdtemp(pattern.data())) folder_ = made;
}

KernelBed::~KernelBed() {
    std::error_code ignored;
    if (!folder_.empty()) fs::remove_all(folder_, ignored);
}

std::string KernelBed::unavailableReason() {
    if (::access(kUml, X_OK) != 0) return "linux.uml is not installed (scripts/setup.sh installs user-mode-linux)";
    if (::access("/usr/sbin/insmod", X_OK) != 0 && ::access("/sbin/insmod", X_OK) != 0)
        return "insmod is not installed (scripts/setup.sh installs kmod)";
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(kModules, error))
        if (fs::exists(entry.path() / "kernel/drivers/scsi/scsi_debug.ko")) return "";
    return std::string("no scsi_debug module below ") + kModules;
}

std::vector<BedResult> KernelBed::run(const BedSetup& setup, const std::vector<std::string>& commands) {
    std::vector<BedResult> results(commands.size());
    if (folder_.empty()) return results;
    std::error_code ignored;
    for (const char* sub : {"cmd", "res", "uml"}) {
        fs::remove_all(folder_ / sub, ignored);
        fs::create_directories(folder_ / sub);
    }
    fs::remove_all(folder_ / "root", ignored);
    for (size_t i = 0; i < commands.size(); ++i) writeFile(folder_ / "cmd" / (std::to_string(i) + ".sh"), commands[i] + "\n");
    writeFile(folder_ / "init.sh", initScript(folder_, setup, commands.size()));

    const std::string umid = "vexal-" + folder_.filename().string().substr(10);
    const std::vector<std::string> args{kUml, "mem=256M", "umid=" + umid, "uml_dir=" + (folder_ / "uml").string(),
                                        "rootfstype=hostfs", "rootflags=/", "ro",
                                        "init=" + (folder_ / "init.sh").string(), "con0=null,fd:1", "con=null",
                                        "ssl=null", "quiet"};
    const fs::path console = folder_ / "console.log";
    const pid_t pid = ::fork();
    if (pid < 0) return results;
    if (pid == 0) {
        // Its own process group: the kernel's helper processes go with it when it is killed.
        ::setsid();
        FILE* out = std::freopen(console.c_str(), "w", stdout);
        if (!out || !std::freopen("/dev/null", "r", stdin)) _exit(127);
        ::dup2(STDOUT_FILENO, STDERR_FILENO);
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(kUml, argv.data());
        _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(setup.bootTimeoutSeconds);
    int status = 0;
    bool ended = false;
    while (!ended && std::chrono::steady_clock::now() < deadline) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid || done < 0) ended = true;
        else std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ::kill(-pid, SIGKILL);  // on time-out the kernel; otherwise any helper left behind
    if (!ended) ::waitpid(pid, &status, 0);

    for (size_t i = 0; i < commands.size(); ++i) {
        const fs::path base = folder_ / "res" / std::to_string(i);
        const std::string rc = readFile(base.string() + ".rc");
        if (!rc.empty()) results[i].exitCode = std::atoi(rc.c_str());
        results[i].out = readFile(base.string() + ".out");
        results[i].err = readFile(base.string() + ".err");
    }
    return results;
}

std::string KernelBed::console() const {
    return readFile(folder_ / "console.log") + "\n--- init ---\n" + readFile(folder_ / "init.log");
}

}  // namespace vexal::testing
