#include "gui/background_task.h"

#include <QMetaObject>

namespace vexal::gui {

BackgroundTask::~BackgroundTask() {
    if (thread_.joinable()) thread_.join();
}

void BackgroundTask::wait() {
    if (thread_.joinable()) thread_.join();
}

bool BackgroundTask::start(std::function<void()> work, std::function<void()> done) {
    if (running_.load()) return false;
    if (thread_.joinable()) thread_.join();  // the last work has ended: collect its thread
    running_ = true;
    thread_ = std::thread([this, work = std::move(work), done = std::move(done)]() mutable {
        work();
        // Queued to this object: dropped when the object is gone before it is delivered.
        QMetaObject::invokeMethod(
            this,
            [this, done = std::move(done)] {
                running_ = false;
                if (done) done();
                Q_EMIT finished();
            },
            Qt::QueuedConnection);
    });
    return true;
}

}  // namespace vexal::gui
