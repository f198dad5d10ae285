#pragma once
// A chart output for tests: records each call as "kind tag ..." in order; the call named
// by `refuses` ("chartOpen", "chartClose", ...) fails; `closedCharts` keeps each chart as
// it stood when closed.
#include <string>
#include <vector>

#include "script/chart_output.h"

namespace vexal::testing {

class FakeChartOutput : public script::ChartOutput {
public:
    std::vector<std::string> calls;
    std::string refuses;
    std::vector<script::ChartModel> closedCharts;

    bool chartOpen(const script::ChartModel& c) override { return record("chartOpen", c.tag); }
    bool chartAddPoint(const script::ChartModel& c, uint8_t line, double x, double y) override {
        return record("chartAddPoint", c.tag + " " + std::to_string(line) + " " + std::to_string(x) + " " + std::to_string(y));
    }
    bool chartReset(const script::ChartModel& c) override { return record("chartReset", c.tag); }
    bool chartClose(const script::ChartModel& c, std::string& note) override {
        closedCharts.push_back(c);
        note = "closed " + c.tag;
        return record("chartClose", c.tag);
    }

private:
    bool record(const std::string& kind, const std::string& text) {
        calls.push_back(kind + " " + text);
        return refuses != kind;
    }
};

}  // namespace vexal::testing
