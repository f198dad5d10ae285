#pragma once
// Where a running script's charts are shown: the desktop's chart windows, or the SVG file
// a terminal keeps. The engine hands each call the chart as it stands.
#include <cstdint>
#include <string>

#include "script/chart_model.h"

namespace vexal::script {

class ChartOutput {
public:
    virtual ~ChartOutput() = default;

    // Each returns false when the window could not do it; by default nothing is shown.
    virtual bool chartOpen(const ChartModel&) { return true; }
    virtual bool chartAddPoint(const ChartModel&, uint8_t /*line*/, double /*x*/, double /*y*/) { return true; }
    virtual bool chartReset(const ChartModel&) { return true; }
    // `note`: a line for the log view, e.g. where the chart was kept; empty for none.
    virtual bool chartClose(const ChartModel&, std::string& /*note*/) { return true; }
};

}  // namespace vexal::script
