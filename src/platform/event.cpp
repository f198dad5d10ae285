#include "platform/event.h"

namespace vexal::platform {

Event::Event(Reset reset, bool initiallySet) : reset_(reset), set_(initiallySet) {}

void Event::set() {
    // Already set: nobody can be waiting (a wait returns at once while it is set), and a
    // second set before the next wait changes nothing. This keeps a signal sent before
    // every script statement nearly free when no one listens.
    if (set_.load(std::memory_order_acquire)) return;
    {
        std::lock_guard lock(mutex_);
        set_ = true;
    }
    if (reset_ == Reset::Manual) cv_.notify_all();
    else cv_.notify_one();
}

void Event::reset() {
    std::lock_guard lock(mutex_);
    set_ = false;
}

bool Event::isSet() const {
    std::lock_guard lock(mutex_);
    return set_.load();
}

bool Event::wait(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    if (!cv_.wait_for(lock, timeout, [this] { return set_.load(); })) return false;
    if (reset_ == Reset::Auto) set_ = false;
    return true;
}

void Event::waitForever() {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [this] { return set_.load(); });
    if (reset_ == Reset::Auto) set_ = false;
}

}  // namespace vexal::platform
