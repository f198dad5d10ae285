#pragma once
// Long work off the user-interface thread: `work` runs on a thread of its own and `done`
// follows on the window's thread, so the window keeps drawing meanwhile. The operator's
// dialogs that the work opens are carried to the window's thread by QtOperator.
#include <QObject>

#include <atomic>
#include <functional>
#include <thread>

namespace vexal::gui {

class BackgroundTask : public QObject {
    Q_OBJECT
public:
    explicit BackgroundTask(QObject* parent = nullptr) : QObject(parent) {}
    // Waits for the work: a dialog it is showing must have been answered first.
    ~BackgroundTask() override;

    // False while earlier work is still running.
    bool start(std::function<void()> work, std::function<void()> done = {});
    bool running() const { return running_.load(); }
    // Waits for the work to end; its `done` is not run then (the window is going).
    void wait();

Q_SIGNALS:
    void finished();

private:
    std::thread thread_;
    std::atomic<bool> running_{false};
};

}  // namespace vexal::gui
