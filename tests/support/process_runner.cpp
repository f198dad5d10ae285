#include "support/process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace vexal::testing {

namespace {

struct SignalWhen {
    std::string text;
    int signal = 0;
};

ProcessResult run(const std::string& program, const std::vector<std::string>& args, int timeoutSeconds,
                  const std::string& stdinText, const SignalWhen& when) {
    ProcessResult result;
    int out[2], err[2], in[2];
    if (pipe(out) != 0 || pipe(err) != 0 || pipe(in) != 0) return result;
    const pid_t pid = fork();
    if (pid < 0) return result;
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    if (!stdinText.empty()) (void)!write(in[1], stdinText.data(), stdinText.size());
    close(in[1]);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open = 2;
    bool killed = false;
    bool signalled = false;
    char buffer[4096];
    while (open > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            kill(pid, SIGKILL);
            killed = true;
            break;
        }
        if (poll(fds, 2, static_cast<int>(left.count())) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n <= 0) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            } else {
                (i == 0 ? result.out : result.err).append(buffer, static_cast<size_t>(n));
                if (!signalled && when.signal != 0 &&
                    (result.out.find(when.text) != std::string::npos || result.err.find(when.text) != std::string::npos)) {
                    kill(pid, when.signal);
                    signalled = true;
                }
            }
        }
    }
    for (auto& f : fds)
        if (f.fd >= 0) close(f.fd);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!killed && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (!killed && WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    return result;
}

}  // namespace

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args, int timeoutSeconds,
                         const std::string& stdinText) {
    return run(program, args, timeoutSeconds, stdinText, {});
}

ProcessResult runProcessSignalled(const std::string& program, const std::vector<std::string>& args,
                                  const std::string& when, int signal, int timeoutSeconds) {
    return run(program, args, timeoutSeconds, "", {when, signal});
}

}  // namespace vexal::testing
