#include "support/process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>

namespace vexal::testing {

namespace {

ProcessResult run(const std::string& program, const std::vector<std::string>& args, int timeoutSeconds,
                  const std::string& stdinText, const std::vector<SignalStep>& steps) {
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
    size_t taken = 0;  // steps done
    auto stepAt = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point signalledAt;
    bool signalled = false;
    const auto takeDue = [&] {
        while (taken < steps.size()) {
            const SignalStep& step = steps[taken];
            const auto now = std::chrono::steady_clock::now();
            if (now - stepAt < step.after) return;
            if (result.out.find(step.when) == std::string::npos && result.err.find(step.when) == std::string::npos)
                return;
            if (step.action) step.action();
            if (step.signal != 0) {
                kill(pid, step.signal);
                signalledAt = std::chrono::steady_clock::now();
                signalled = true;
            }
            stepAt = std::chrono::steady_clock::now();
            ++taken;
        }
    };
    char buffer[4096];
    while (open > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            kill(pid, SIGKILL);
            killed = true;
            break;
        }
        takeDue();
        // Steps that wait for time alone are looked at every few milliseconds.
        const int wait = taken < steps.size() ? 20 : static_cast<int>(left.count());
        if (poll(fds, 2, std::min(wait, static_cast<int>(left.count()))) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n <= 0) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            } else {
                (i == 0 ? result.out : result.err).append(buffer, static_cast<size_t>(n));
                takeDue();
            }
        }
    }
    for (auto& f : fds)
        if (f.fd >= 0) close(f.fd);
    int status = 0;
    waitpid(pid, &status, 0);
    if (signalled)
        result.afterSignal = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                                   signalledAt);
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
    return run(program, args, timeoutSeconds, "", {SignalStep{when, signal}});
}

ProcessResult runProcessSignalSteps(const std::string& program, const std::vector<std::string>& args,
                                    const std::vector<SignalStep>& steps, int timeoutSeconds) {
    return run(program, args, timeoutSeconds, "", steps);
}

}  // namespace vexal::testing
