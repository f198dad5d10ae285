#pragma once
// What a script's chart holds: titles, axes, scales, colours and its lines with their
// points. The script engine keeps one per CHART object; a chart window (the desktop's, or
// the SVG file the terminal writes) draws from it.
#include <cstdint>
#include <string>
#include <vector>

namespace vexal::script {

struct ChartPoint {
    double x = 0;
    double y = 0;
};

struct ChartLine {
    uint8_t number = 0;
    std::string legend;   // at most 32 characters
    uint32_t color = 0;   // 0x00BBGGRR
    uint8_t style = 0;
    std::vector<ChartPoint> points;
};

struct ChartRange {
    double minimum = 0;
    double maximum = 0;
};

struct ChartModel {
    std::string tag;
    uint8_t type = 0;
    std::string title, xTitle, yTitle;  // empty until set
    ChartRange xAxis, yAxis, xScale, yScale;
    uint32_t gridColor = 0;    // 0x00BBGGRR
    uint32_t windowColor = 0;  // 0x00BBGGRR
    std::vector<std::string> declared;  // the words after the tag in the declaration
    std::vector<ChartLine> lines;

    ChartLine* line(uint8_t number) {
        for (ChartLine& l : lines)
            if (l.number == number) return &l;
        return nullptr;
    }
};

}  // namespace vexal::script
