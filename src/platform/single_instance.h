#pragma once
// One desktop console per user: an exclusive lock on a file in the runtime folder, and a
// local socket through which a second start asks the first window to come to the front.
#include <atomic>
#include <filesystem>
#include <functional>
#include <thread>

namespace vexal::platform {

class SingleInstance {
public:
    // `name` names the lock file and the socket in runtimeDir().
    explicit SingleInstance(std::string name);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process is the first: it then listens and calls `activate` (on its
    // own thread) whenever a later start knocks. False when another instance runs; that
    // one has been asked to come to the front.
    bool acquire(std::function<void()> activate);

private:
    void listen();

    std::filesystem::path lockPath_;
    std::filesystem::path socketPath_;
    int lockFd_ = -1;
    int listenFd_ = -1;
    std::atomic<bool> stopping_{false};
    std::function<void()> activate_;
    std::thread listener_;
};

}  // namespace vexal::platform
