#pragma once
// A table of named events, one per document: the threads find each other's events by name.
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/event.h"

namespace vexal::platform {

class NamedEvents {
public:
    // Creates the event anew (a previous one of that name is replaced: its waiters keep
    // the old object alive through their shared pointer).
    std::shared_ptr<Event> create(const std::string& name, Event::Reset reset) {
        std::lock_guard lock(mutex_);
        auto event = std::make_shared<Event>(reset);
        events_[name] = event;
        return event;
    }
    // The event of that name, or null when it has not been created.
    std::shared_ptr<Event> find(const std::string& name) const {
        std::lock_guard lock(mutex_);
        auto it = events_.find(name);
        return it == events_.end() ? nullptr : it->second;
    }
    // Sets the event when it exists.
    void signal(const std::string& name) const {
        if (auto e = find(name)) e->set();
    }

private:
    mutable std::mutex mutex_;
    std::map<std::string, std::shared_ptr<Event>> events_;
};

}  // namespace vexal::platform
