#pragma once
// The busy animation of the tool bar: a turning reel while a command or a test runs.
#include <QLabel>

class QTimer;

namespace vexal::gui {

class BusyIndicator : public QLabel {
    Q_OBJECT
public:
    explicit BusyIndicator(QWidget* parent = nullptr);
    // Starting a running animation, or stopping a stopped one, changes nothing.
    void setRunning(bool running);
    bool isRunning() const;
    int frame() const { return frame_; }

private:
    void showFrame();

    QTimer* timer_;  // owned by the label
    int frame_ = 0;
};

}  // namespace vexal::gui
