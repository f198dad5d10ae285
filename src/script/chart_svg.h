#pragma once
// A script's chart drawn as an SVG picture: frame, grid, axis ticks, titles, legend and
// one polyline per line in its colour and style. Front ends without a chart window keep
// the picture; the desktop may draw from the same model.
#include <filesystem>
#include <string>

#include "script/chart_model.h"

namespace vexal::script {

std::string ChartSvg(const ChartModel& chart);
// Writes the picture atomically; false when it could not be written.
bool WriteChartSvg(const ChartModel& chart, const std::filesystem::path& path);

}  // namespace vexal::script
