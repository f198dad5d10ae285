#pragma once
// Bounds a test's run time: when the scope is still open after the limit, the tgtd
// servers are killed and the process aborts, so that a hang fails instead of blocking.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "integration/tgtd_fixture.h"

namespace vexal::testing {

class Watchdog {
public:
    Watchdog(std::chrono::seconds limit, std::string what)
        : thread_([this, limit, what = std::move(what)] {
              std::unique_lock lock(mutex_);
              if (cv_.wait_for(lock, limit, [this] { return done_; })) return;
              std::fprintf(stderr, "watchdog: %s did not finish within %lld s\n", what.c_str(),
                           static_cast<long long>(limit.count()));
              TgtdServer::killAll();
              std::abort();
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool done_ = false;
    std::thread thread_;  // last: starts once the members above exist
};

}  // namespace vexal::testing
