#include "platform/event.h"

namespace vexal::platform {

Event::Event(Reset reset, bool initiallySet) : reset_(reset), set_(initiallySet) {}

void Event::set() {
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
    return set_;
}

bool Event::wait(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    if (!cv_.wait_for(lock, timeout, [this] { return set_; })) return false;
    if (reset_ == Reset::Auto) set_ = false;
    return true;
}

void Event::waitForever() {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [this] { return set_; });
    if (reset_ == Reset::Auto) set_ = false;
}

}  // namespace vexal::platform
