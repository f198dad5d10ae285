#include "gui/busy_indicator.h"

#include <QPainter>
#include <QTimer>

#include "gui/icons.h"

namespace vexal::gui {

namespace {
constexpr int kSize = 28;
}

BusyIndicator::BusyIndicator(QWidget* parent) : QLabel(parent), timer_(new QTimer(this)) {
    setObjectName("busyAnimation");
    setFixedSize(kSize + 8, kSize + 8);
    setAlignment(Qt::AlignCenter);
    setToolTip("Idle");
    timer_->setInterval(90);
    connect(timer_, &QTimer::timeout, this, [this] {
        frame_ = (frame_ + 1) % kBusyFrames;
        showFrame();
    });
    showFrame();
}

void BusyIndicator::setRunning(bool running) {
    if (running == timer_->isActive()) return;
    if (running) timer_->start();
    else timer_->stop();
    setToolTip(running ? "Busy" : "Idle");
    setEnabled(running);
    showFrame();
}

bool BusyIndicator::isRunning() const { return timer_->isActive(); }

void BusyIndicator::showFrame() {
    QPixmap frame = busyFrame(frame_, kSize);
    if (!timer_->isActive()) {
        // At rest the reel is drawn faded.
        QPixmap faded(frame.size());
        faded.fill(Qt::transparent);
        QPainter p(&faded);
        p.setOpacity(0.35);
        p.drawPixmap(0, 0, frame);
        p.end();
        frame = faded;
    }
    setPixmap(frame);
}

}  // namespace vexal::gui
