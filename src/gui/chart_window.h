#pragma once
// The chart windows of a running script: one window per chart object, lines drawn from the
// chart model the engine hands over. Used from the user-interface thread.
#include <QPointer>
#include <QWidget>

#include <map>
#include <string>

#include "script/chart_model.h"

namespace vexal::gui {

class ChartWindows {
public:
    explicit ChartWindows(QWidget* parent) : parent_(parent) {}
    bool open(const script::ChartModel& chart);
    bool addPoint(const script::ChartModel& chart, uint8_t line, double x, double y);
    bool reset(const script::ChartModel& chart);
    // The window stays on the screen for the operator to look at; the run is done with it.
    bool close(const script::ChartModel& chart);
    // The window of a chart; null when none is open.
    QWidget* window(const std::string& tag) const;

private:
    void draw(QWidget* window, const script::ChartModel& chart);

    QWidget* parent_;
    std::map<std::string, QPointer<QWidget>> windows_;
};

}  // namespace vexal::gui
