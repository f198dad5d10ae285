#include "script/chart_svg.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "platform/ini_file.h"

namespace vexal::script {
namespace {

constexpr double kWidth = 800, kHeight = 500;
constexpr double kLeft = 80, kRight = 180, kTop = 50, kBottom = 60;  // margins around the plot
constexpr int kDivisions = 10;

std::string escaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default:
                // Control characters are not allowed in XML text.
                if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') out.push_back(c);
        }
    }
    return out;
}

// 0x00BBGGRR as #RRGGBB.
std::string colorOf(uint32_t bgr) { return fmt::format("#{:02X}{:02X}{:02X}", bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

const char* dashOf(uint8_t style) {
    switch (style) {
        case 1: return " stroke-dasharray=\"8,4\"";
        case 2: return " stroke-dasharray=\"2,3\"";
        case 3: return " stroke-dasharray=\"8,3,2,3\"";
        default: return "";
    }
}

bool usable(const ChartRange& r) { return std::isfinite(r.minimum) && std::isfinite(r.maximum) && r.minimum < r.maximum; }

// The range shown: the axis when set, else the scale, else what the points span.
ChartRange rangeOf(const ChartModel& chart, const ChartRange& axis, const ChartRange& scale, bool x) {
    if (usable(axis)) return axis;
    if (usable(scale)) return scale;
    double lo = INFINITY, hi = -INFINITY;
    for (const auto& line : chart.lines)
        for (const auto& p : line.points) {
            const double v = x ? p.x : p.y;
            if (!std::isfinite(v)) continue;
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    if (!(lo <= hi)) return {0, 1};
    if (lo == hi) return {lo - 1, hi + 1};
    return {lo, hi};
}

}  // namespace

std::string ChartSvg(const ChartModel& chart) {
    const ChartRange xr = rangeOf(chart, chart.xAxis, chart.xScale, true);
    const ChartRange yr = rangeOf(chart, chart.yAxis, chart.yScale, false);
    const double plotW = kWidth - kLeft - kRight, plotH = kHeight - kTop - kBottom;
    auto px = [&](double x) { return kLeft + (x - xr.minimum) / (xr.maximum - xr.minimum) * plotW; };
    auto py = [&](double y) { return kTop + plotH - (y - yr.minimum) / (yr.maximum - yr.minimum) * plotH; };
    // Colours never set (0) get the usual white window and grey grid.
    const std::string window = chart.windowColor ? colorOf(chart.windowColor) : "#FFFFFF";
    const std::string grid = chart.gridColor ? colorOf(chart.gridColor) : "#C0C0C0";

    std::string s = fmt::format(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"{0}\" height=\"{1}\" viewBox=\"0 0 {0} {1}\" "
        "font-family=\"sans-serif\" font-size=\"12\">\n"
        "<rect width=\"{0}\" height=\"{1}\" fill=\"#FFFFFF\"/>\n"
        "<defs><clipPath id=\"plot\"><rect x=\"{2}\" y=\"{3}\" width=\"{4}\" height=\"{5}\"/></clipPath></defs>\n"
        "<rect x=\"{2}\" y=\"{3}\" width=\"{4}\" height=\"{5}\" fill=\"{6}\" stroke=\"#000000\"/>\n",
        kWidth, kHeight, kLeft, kTop, plotW, plotH, window);
    for (int i = 0; i <= kDivisions; ++i) {
        const double gx = kLeft + plotW * i / kDivisions, gy = kTop + plotH * i / kDivisions;
        const double vx = xr.minimum + (xr.maximum - xr.minimum) * i / kDivisions;
        const double vy = yr.maximum - (yr.maximum - yr.minimum) * i / kDivisions;
        s += fmt::format("<line x1=\"{0:.1f}\" y1=\"{1}\" x2=\"{0:.1f}\" y2=\"{2}\" stroke=\"{3}\" stroke-width=\"0.5\"/>\n", gx, kTop,
                         kTop + plotH, grid);
        s += fmt::format("<line x1=\"{1}\" y1=\"{0:.1f}\" x2=\"{2}\" y2=\"{0:.1f}\" stroke=\"{3}\" stroke-width=\"0.5\"/>\n", gy, kLeft,
                         kLeft + plotW, grid);
        s += fmt::format("<text x=\"{:.1f}\" y=\"{:.1f}\" text-anchor=\"middle\">{:.6g}</text>\n", gx, kTop + plotH + 16, vx);
        s += fmt::format("<text x=\"{:.1f}\" y=\"{:.1f}\" text-anchor=\"end\">{:.6g}</text>\n", kLeft - 6, gy + 4, vy);
    }
    if (!chart.title.empty())
        s += fmt::format("<text x=\"{}\" y=\"30\" text-anchor=\"middle\" font-size=\"16\">{}</text>\n", kLeft + plotW / 2,
                         escaped(chart.title));
    if (!chart.xTitle.empty())
        s += fmt::format("<text x=\"{}\" y=\"{}\" text-anchor=\"middle\">{}</text>\n", kLeft + plotW / 2, kHeight - 15,
                         escaped(chart.xTitle));
    if (!chart.yTitle.empty())
        s += fmt::format("<text x=\"20\" y=\"{0}\" text-anchor=\"middle\" transform=\"rotate(-90 20 {0})\">{1}</text>\n",
                         kTop + plotH / 2, escaped(chart.yTitle));
    for (size_t n = 0; n < chart.lines.size(); ++n) {
        const ChartLine& line = chart.lines[n];
        const std::string color = colorOf(line.color);
        std::string points;
        for (const auto& p : line.points) {
            if (!std::isfinite(p.x) || !std::isfinite(p.y)) continue;
            // Far outside values are pinned near the plot so the numbers stay printable.
            const double x = std::clamp(px(p.x), -1e6, 1e6), y = std::clamp(py(p.y), -1e6, 1e6);
            points += fmt::format("{:.2f},{:.2f} ", x, y);
        }
        if (!points.empty())
            s += fmt::format("<polyline clip-path=\"url(#plot)\" fill=\"none\" stroke=\"{}\" stroke-width=\"1.5\"{} points=\"{}\"/>\n",
                             color, dashOf(line.style), points);
        const double ly = kTop + 10 + 18 * static_cast<double>(n);
        s += fmt::format("<line x1=\"{0}\" y1=\"{1}\" x2=\"{2}\" y2=\"{1}\" stroke=\"{3}\" stroke-width=\"2\"{4}/>\n", kWidth - kRight + 15,
                         ly, kWidth - kRight + 40, color, dashOf(line.style));
        s += fmt::format("<text x=\"{}\" y=\"{}\">{}</text>\n", kWidth - kRight + 46, ly + 4, escaped(line.legend));
    }
    s += "</svg>\n";
    return s;
}

bool WriteChartSvg(const ChartModel& chart, const std::filesystem::path& path) {
    return platform::writeFileAtomically(path, ChartSvg(chart));
}

}  // namespace vexal::script
