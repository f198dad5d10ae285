#include "integration/tgtd_fixture.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

extern char** environ;

namespace vexal::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// tgt installs its programs in /usr/sbin, which a normal user's PATH may lack.
std::string findProgram(const std::string& name) {
    for (const char* folder : {"/usr/sbin/", "/usr/local/sbin/", "/sbin/"}) {
        const std::string path = folder + name;
        if (::access(path.c_str(), X_OK) == 0) return path;
    }
    return name;  // let posix_spawnp search PATH
}

std::vector<char*> argvOf(std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    return argv;
}

std::string joined(const std::vector<std::string>& arguments) {
    std::string text;
    for (const std::string& argument : arguments) text += (text.empty() ? "" : " ") + argument;
    return text;
}

// Runs a program to its end (at most `limit`), collecting its output; its exit status,
// or -1 when it could not run or took too long.
int runProgram(std::vector<std::string> arguments, std::string& output, std::chrono::milliseconds limit = 10s) {
    output.clear();
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    std::vector<char*> argv = argvOf(arguments);
    pid_t child = -1;
    const int spawned = ::posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (spawned != 0) {
        ::close(pipeFds[0]);
        output = "cannot run " + arguments[0];
        return -1;
    }
    const auto deadline = Clock::now() + limit;
    bool timedOut = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd descriptor{pipeFds[0], POLLIN, 0};
        if (::poll(&descriptor, 1, static_cast<int>(left.count())) <= 0) continue;
        char buffer[4096];
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0) break;
        output.append(buffer, static_cast<size_t>(n));
    }
    ::close(pipeFds[0]);
    if (timedOut) ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (timedOut) {
        output += "\n(" + arguments[0] + " did not finish)";
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool run(const std::vector<std::string>& arguments, std::string& error) {
    std::string output;
    if (runProgram(arguments, output) == 0) return true;
    error = joined(arguments) + " failed: " + output;
    return false;
}

bool acceptsConnections(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

// Every tgtd started here and not yet reaped.
std::mutex& liveMutex() {
    static std::mutex mutex;
    return mutex;
}
std::set<pid_t>& live() {
    static std::set<pid_t> pids;
    return pids;
}

// Control ports of tgtd instances of this process, so that two servers never share one.
int nextControlPort() {
    static int counter = 0;
    return 10000 + static_cast<int>((::getpid() * 37 + counter++ * 101) % 22000);  // tgtd takes up to 32767
}

}  // namespace

TgtdServer::~TgtdServer() { stop(); }

void TgtdServer::killAll() {
    std::lock_guard lock(liveMutex());
    for (pid_t pid : live()) ::kill(pid, SIGKILL);
}

int TgtdServer::freeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = 0;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = -1;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

std::string TgtdServer::log() const {
    std::ifstream in(folder_ / "tgtd.log");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool TgtdServer::admin(const std::vector<std::string>& arguments, std::string& error) const {
    std::vector<std::string> command = {findProgram("tgtadm"), "--lld", "iscsi", "-C", std::to_string(controlPort_)};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return run(command, error);
}

bool TgtdServer::start(std::string& error) { return startOn(0, error); }

bool TgtdServer::restart(std::string& error) { return startOn(port_, error); }

bool TgtdServer::startOn(int fixedPort, std::string& error) {
    stop();
    std::string pattern = (std::filesystem::temp_directory_path() / "vexal-tgtd-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        error = "cannot create a temporary folder";
        return false;
    }
    folder_ = pattern;
    // The port found free may be taken before tgtd binds it, and a control port may be in
    // use by another test run: try a few times.
    for (int attempt = 0; attempt < 5; ++attempt) {
        // A fixed port may take a moment to be free again after the old tgtd's end.
        if (fixedPort > 0 && attempt > 0) std::this_thread::sleep_for(200ms);
        port_ = fixedPort > 0 ? fixedPort : freeLoopbackPort();
        controlPort_ = nextControlPort();
        if (port_ <= 0) {
            error = "no free loopback port";
            break;
        }
        if (!launch(error)) break;
        if (waitUntilListening(error)) {
            if (configure(error)) return true;
            break;
        }
    }
    stop();
    return false;
}

bool TgtdServer::launch(std::string& error) {
    std::vector<std::string> arguments = {findProgram("tgtd"), "-f", "-C", std::to_string(controlPort_),
                                          "--iscsi", "portal=127.0.0.1:" + std::to_string(port_)};
    const std::string logPath = (folder_ / "tgtd.log").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    std::vector<char*> argv = argvOf(arguments);
    const int spawned = ::posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        pid_ = -1;
        error = "cannot run tgtd: " + std::system_category().message(spawned);
        return false;
    }
    std::lock_guard lock(liveMutex());
    live().insert(pid_);
    return true;
}

bool TgtdServer::waitUntilListening(std::string& error) {
    const auto deadline = Clock::now() + 5s;
    while (Clock::now() < deadline) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            forget();
            error = "tgtd ended at start-up: " + log();
            return false;
        }
        std::string ignored;
        if (acceptsConnections(port_) && admin({"--op", "show", "--mode", "target"}, ignored)) {
            ownsControlPort_ = true;
            return true;
        }
        std::this_thread::sleep_for(20ms);
    }
    error = "tgtd did not start listening within 5 s: " + log();
    kill();
    return false;
}

bool TgtdServer::configure(std::string& error) {
    const std::string tgtimg = findProgram("tgtimg");
    const std::string tape1 = (folder_ / "tape1.img").string();
    const std::string tape2 = (folder_ / "tape2.img").string();
    const std::string changer = (folder_ / "changer.img").string();
    std::ofstream(changer).close();  // the changer needs a backing file, even an empty one
    for (const auto& [file, barcode] : {std::pair{tape1, "VXL001"}, std::pair{tape2, "VXL002"}}) {
        if (!run({tgtimg, "--op", "new", "--device-type", "tape", std::string("--barcode=") + barcode,
                  "--size=128", "--type=data", "--file=" + file},
                 error))
            return false;
    }
    // tgtd lists the most recently created target first: create the second one first.
    const std::vector<std::vector<std::string>> steps = {
        {"--op", "new", "--mode", "target", "--tid", "2", "-T", kSecondTarget},
        {"--op", "new", "--mode", "logicalunit", "--tid", "2", "--lun", "1", "--device-type", "tape", "--bstype",
         "ssc", "-b", tape2},
        {"--op", "bind", "--mode", "target", "--tid", "2", "-I", "ALL"},
        {"--op", "new", "--mode", "target", "--tid", "1", "-T", kTapeTarget},
        {"--op", "new", "--mode", "logicalunit", "--tid", "1", "--lun", "1", "--device-type", "tape", "--bstype",
         "ssc", "-b", tape1},
        {"--op", "new", "--mode", "logicalunit", "--tid", "1", "--lun", "2", "--device-type", "changer", "-b",
         changer},
        {"--op", "bind", "--mode", "target", "--tid", "1", "-I", "ALL"},
    };
    for (const auto& step : steps)
        if (!admin(step, error)) return false;
    return true;
}

void TgtdServer::reap(int milliseconds) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    while (pid_ > 0) {
        int status = 0;
        const pid_t done = ::waitpid(pid_, &status, milliseconds < 0 ? 0 : WNOHANG);
        if (done == pid_ || (done < 0 && errno == ECHILD)) {
            forget();
            return;
        }
        if (milliseconds >= 0 && Clock::now() >= deadline) return;
        std::this_thread::sleep_for(10ms);
    }
}

void TgtdServer::kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    reap(-1);
}

void TgtdServer::suspend() {
    if (pid_ > 0) ::kill(pid_, SIGSTOP);
}

void TgtdServer::resume() {
    if (pid_ > 0) ::kill(pid_, SIGCONT);
}

void TgtdServer::stop() {
    if (pid_ > 0) {
        ::kill(pid_, SIGCONT);
        ::kill(pid_, SIGTERM);
        reap(250);  // tgtd ignores SIGTERM while it serves targets
        kill();
    }
    if (ownsControlPort_) removeControlFiles();
    ownsControlPort_ = false;
    if (!folder_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
        folder_.clear();
    }
}

void TgtdServer::forget() {
    std::lock_guard lock(liveMutex());
    live().erase(pid_);
    pid_ = -1;
}

void TgtdServer::removeControlFiles() const {
    // tgtd leaves its management socket and lock file behind when it is killed.
    const std::string base = "/var/run/tgtd/socket." + std::to_string(controlPort_);
    std::error_code ignored;
    std::filesystem::remove(base, ignored);
    std::filesystem::remove(base + ".lock", ignored);
}

}  // namespace vexal::testing
