#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace vexal::platform {

// A signalling event with manual or automatic reset, the stand-in for the named events
// the worker threads and the device library wait on.
class Event {
public:
    enum class Reset { Manual, Auto };
    explicit Event(Reset reset = Reset::Auto, bool initiallySet = false);

    void set();
    void reset();
    bool isSet() const;
    // Waits until the event is set or the time-out passes; true when it was set.
    // An auto-reset event is cleared by the wait that sees it.
    bool wait(std::chrono::milliseconds timeout);
    void waitForever();

private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    const Reset reset_;
    // Written under the mutex; read without it by set()'s fast path.
    std::atomic<bool> set_;
};

}  // namespace vexal::platform
