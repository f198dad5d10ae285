// Chart statements: in phase 2 the argument count, the chart tag and the kinds of the
// arguments; when they run, the values, text lengths and the chart's open or closed state,
// then the chart object changes and its window (through the chart output) follows.
#include <fmt/printf.h>

#include <cstdlib>
#include <vector>

#include "script/buffer_text.h"
#include "script/chart_objects.h"
#include "script/chart_output.h"
#include "script/number_literals.h"
#include "script/script_error_codes.h"
#include "script/script_text.h"
#include "script/script_values.h"
#include "script/statement_handlers.h"

namespace vexal::script {
namespace {

constexpr size_t kTitleLimit = 64;   // characters; 65 or more are refused
constexpr size_t kLegendLimit = 32;
constexpr size_t kPointLimit = size_t{1} << 20;  // per line: a runaway loop must not eat all memory

// The codes every chart statement numbers down from its first: split, count, tag, and its
// own conditions after them.
struct Codes {
    int32_t first;
    int32_t at(int i) const { return first - i; }
};

// Splits the arguments, checks their number and the tag. 0 with `w` and `chart` set, or 1.
int frame(StatementContext& ctx, Codes c, size_t count, std::vector<std::string>& w, ChartEntry*& chart) {
    if (!splitQuotedWords(ctx.args, w)) return ctx.fail(c.at(0));
    if (w.size() != count) return ctx.fail(c.at(1));
    chart = ctx.tables().charts.find(w[0]);
    return chart ? 0 : ctx.fail(c.at(2));
}

// A byte literal or a BYTE variable: line numbers, types and styles.
int byteValue(StatementContext& ctx, std::string_view w, int32_t wide, int32_t unknown, int32_t type, uint8_t& value) {
    const int code = ClassifyNumber(w);
    if (code == kNumberByte) {
        value = static_cast<uint8_t>(ParseWordValue(w));
        return 0;
    }
    if (code > 0) return ctx.fail(wide);
    if (ctx.needVariable(w, {VarType::Byte}, unknown, type)) return 1;
    value = ctx.variable(w)->byteSlot;
    return 0;
}

// A number literal by its code (1 and 2 as 16 bits, 4 as 32 bits, 8 as a fraction) or a
// variable of any type.
bool numberValue(StatementContext& ctx, std::string_view w, double& value) {
    if (const ScriptVariable* v = ctx.variable(w)) {
        value = numericValue(*v);
        return true;
    }
    switch (ClassifyNumber(w)) {
        case kNumberByte:
        case kNumberWord: value = ParseWordValue(w); return true;
        case kNumberLong: value = ParseLong(w); return true;
        case kNumberDouble: value = std::strtod(std::string(w).c_str(), nullptr); return true;
        default: return false;
    }
}

// A double-quoted text (trimmed) or a buffer's text; `fromBuffer` tells which.
bool textValue(StatementContext& ctx, std::string_view w, std::string& text, bool& fromBuffer) {
    fromBuffer = false;
    if (unquote(w, text)) return true;
    const ScriptBuffer* buffer = ctx.buffer(w);
    if (!buffer) return false;
    text = readText(*buffer);
    fromBuffer = true;
    return true;
}

// Codes after the tag of SETCHARTTITLE, SETCHARTXLABEL and SETCHARTYLABEL: text kind 3,
// too long 4, chart open 5, empty 6.
int textStatement(StatementContext& ctx, Codes c, std::string ChartModel::*field) {
    std::vector<std::string> w;
    ChartEntry* chart = nullptr;
    if (frame(ctx, c, 2, w, chart)) return 1;
    std::string text;
    bool fromBuffer = false;
    if (!textValue(ctx, w[1], text, fromBuffer)) return ctx.fail(c.at(3));
    if (!ctx.executing()) return 0;
    if (text.size() > kTitleLimit) return ctx.fail(c.at(4));
    if (chart->open) return ctx.fail(c.at(5));
    if (text.empty()) return ctx.fail(c.at(6));
    chart->model.*field = std::move(text);
    return 0;
}

// SETCHARTXAXIS and the like: minimum 3, maximum 4, chart open 5.
int rangeStatement(StatementContext& ctx, Codes c, ChartRange ChartModel::*field) {
    std::vector<std::string> w;
    ChartEntry* chart = nullptr;
    if (frame(ctx, c, 3, w, chart)) return 1;
    double minimum = 0, maximum = 0;
    if (!numberValue(ctx, w[1], minimum)) return ctx.fail(c.at(3));
    if (!numberValue(ctx, w[2], maximum)) return ctx.fail(c.at(4));
    if (!ctx.executing()) return 0;
    if (chart->open) return ctx.fail(c.at(5));
    chart->model.*field = {minimum, maximum};
    return 0;
}

// SETCHARTGRIDCOLOR and SETCHARTWINDOWCOLOR: colour 3, chart open 4.
int colorStatement(StatementContext& ctx, Codes c, uint32_t ChartModel::*field) {
    std::vector<std::string> w;
    ChartEntry* chart = nullptr;
    if (frame(ctx, c, 2, w, chart)) return 1;
    const ColorEntry* color = ctx.tables().colors.find(w[1]);
    if (!color) return ctx.fail(c.at(3));
    if (!ctx.executing()) return 0;
    if (chart->open) return ctx.fail(c.at(4));
    chart->model.*field = color->colorRef();
    return 0;
}

// Back to the state of a chart never configured: only the tag and the declaration stay.
void clearChart(ChartEntry& chart) {
    chart.open = false;
    chart.model = ChartModel{};
    chart.model.tag = chart.name;
    chart.model.declared = chart.extra;
}

// CLOSECHART's work: the window closes with the chart as it stood, the chart is cleared.
// False when the window failed.
bool closeChart(ScriptEngine& engine, ChartEntry& chart) {
    bool ok = true;
    std::string note;
    if (ChartOutput* out = engine.chartOutput()) ok = out->chartClose(chart.model, note);
    clearChart(chart);
    if (!note.empty() && engine.output()) engine.output()->addToView(note);
    return ok;
}

}  // namespace

std::string ListCharts(const ChartTable& charts) {
    if (charts.empty()) return "*** No Charts Listed ***\r\n";
    std::string out;
    for (const auto& chart : charts) {
        const ChartModel& m = chart->model;
        out += fmt::sprintf("Chart Tag : %s\r\n", chart->name);
        out += fmt::sprintf("\tTitle   : %s\r\n", m.title);
        out += fmt::sprintf("\tX Title : %s\r\n", m.xTitle);
        out += fmt::sprintf("\tY Title : %s\r\n", m.yTitle);
        out += fmt::sprintf("\t  Type         : %d\r\n", m.type);
        out += fmt::sprintf("\t  Grid Color   : %08X\r\n", m.gridColor);
        out += fmt::sprintf("\t  Window Color : %08X\r\n", m.windowColor);
        out += fmt::sprintf("\t    X Axis  : %.3f %.3f\r\n", m.xAxis.minimum, m.xAxis.maximum);
        out += fmt::sprintf("\t    Y Axis  : %.3f %.3f\r\n", m.yAxis.minimum, m.yAxis.maximum);
        out += fmt::sprintf("\t    X Scale : %.3f %.3f\r\n", m.xScale.minimum, m.xScale.maximum);
        out += fmt::sprintf("\t    y Scale : %.3f %.3f\r\n", m.yScale.minimum, m.yScale.maximum);
        if (m.lines.empty()) out += "\t  No Lines Present\r\n";
        for (const ChartLine& line : m.lines) {
            out += fmt::sprintf("\t  Line %d : %s\r\n", line.number, line.legend);
            out += fmt::sprintf("\t    Pen Color : %08X\r\n", line.color);
            out += fmt::sprintf("\t    Style     : %d\r\n", line.style);
            out += fmt::sprintf("\t    Points    : %d\r\n", line.points.size());
        }
    }
    return out;
}

void CloseOpenCharts(ScriptEngine& engine) {
    for (const auto& chart : engine.tables().charts)
        if (chart->open) closeChart(engine, *chart);
}

int stmtSetChartType(StatementContext& ctx) {
    std::vector<std::string> w;
    ChartEntry* chart = nullptr;
    if (frame(ctx, {err::K_SET_CHART_TYPE_PARSING_ERROR}, 2, w, chart)) return 1;
    uint8_t type = 0;
    if (byteValue(ctx, w[1], err::K_SET_CHART_TYPE_ILLEGAL_VARIABLE_TYPE_SPECIFIED, err::K_SET_CHART_TYPE_UNRECOGNIZABLE_VALUE_ARG,
                  err::K_SET_CHART_TYPE_ILLEGAL_VARIABLE_TYPE_VALUE_ARG, type))
        return 1;
    if (!ctx.executing()) return 0;
    if (chart->open) return ctx.fail(err::K_SET_CHART_TYPE_OP_NOT_ALLOWED_WHEN_CHART_OPENED);
    if (type != 0) return ctx.fail(err::K_SET_CHART_TYPE_ILLEGAL_CHART_TYPE_SPECIFIED);
    chart->model.type = type;
    return 0;
}

int stmtSetChartTitle(StatementContext& ctx) {
    return textStatement(ctx, {err::K_SET_CHART_TITLE_PARSING_ERROR}, &ChartModel::title);
}
int stmtSetChartXLabel(StatementContext& ctx) {
    return textStatement(ctx, {err::K_SET_CHART_XLABEL_PARSING_ERROR}, &ChartModel::xTitle);
}
int stmtSetChartYLabel(StatementContext& ctx) {
    return textStatement(ctx, {err::K_SET_CHART_YLABEL_PARSING_ERROR}, &ChartModel::yTitle);
}
int stmtSetChartXAxis(StatementContext& ctx) { return rangeStatement(ctx, {err::K_SET_X_AXIS_PARSING_ERROR}, &ChartModel::xAxis); }
int stmtSetChartYAxis(StatementContext& ctx) { return rangeStatement(ctx, {err::K_SET_Y_AXIS_PARSING_ERROR}, &ChartModel::yAxis); }
int stmtSetChartXScale(StatementContext& ctx) { return rangeStatement(ctx, {err::K_SET_X_SCALE_PARSING_ERROR}, &ChartModel::xScale); }
int stmtSetChartYScale(StatementContext& ctx) { return rangeStatement(ctx, {err::K_SET_Y_SCALE_PARSING_ERROR}, &ChartModel::yScale); }
int stmtSetChartGridColor(StatementContext& ctx) {
    return colorStatement(ctx, {err::K_SET_GRID_COLOR_PARSING_ERROR}, &ChartModel::gridColor);
}
int stmtSetChartWindowColor(StatementContext& ctx) {
    return colorStatement(ctx, {err::K_SET_WINDOW_COLOR_PARSING_ERROR}, &ChartModel::windowColor);
}

int stmtAddChartLine(StatementContext& ctx) {
    std::vector<std::string> w;
    ChartEntry* chart = nullptr;
    if (frame(ctx, {err::K_CHART_ADD_LINE_PARSING_ERROR}, 5, w, chart)) return 1;
    ChartLine line;
    if (byteValue(ctx, w[1], err::K_CHART_ADD_LINE_ILLEGAL_LINENO_VARIABLE_TYPE_SPECIFIED, err::K_CHART_ADD_LINE_UNRECOGNIZABLE_LINENO_VALUE_ARG,
                  err::K_CHART_ADD_LINE_ILLEGAL_LINENO_VARIABLE_TYPE_VALUE_ARG, line.number))
        return 1;
    bool fromBuffer = false;
    if (!textValue(ctx, w[2], line.legend, fromBuffer)) return ctx.fail(err::K_CHART_ADD_LINE_UNRECOGNIZABLE_LEGENDNAME_ARG_SPECIFIED);
    const ColorEntry* color = ctx.tables().colors.find(w[3]);
    if (!color) return ctx.fail(err::K_CHART_ADD_LINE_ILLEGAL_COLORTAG_DETECTED);
    line.color = color->colorRef();
    if (byteValue(ctx, w[4], err::K_CHART_ADD_LINE_ILLEGAL_STYLE_VARIABLE_TYPE_SPECIFIED, err::K_CHART_ADD_LINE_UNRECOGNIZABLE_STYLE_VALUE_ARG,
                  err::K_CHART_ADD_LINE_ILLEGAL_STYLE_VARIABLE_TYPE_VALUE_ARG, line.style))
        return 1;
    if (!ctx.executing()) return 0;
    if (line.legend.size() > kLegendLimit)
        return ctx.fail(fromBuffer ? err::KRT_CHART_ADD_LINE_LEGENDNAME_IN_BUFFER_EXCEEDS_LIMIT
                                   : err::KRT_CHART_ADD_LINE_LEGENDNAME_TEXT_EXCEEDS_LIMIT);
    if (chart->open) return ctx.fail(err::K_CHART_ADD_LINE_OP_NOT_ALLOWED_WHEN_CHART_OPENED);
    if (chart->model.line(line.number)) return ctx.fail(err::K_CHART_ADD_LINE_DUPLICATE_LINE_NUMBER_DETECTED);
    chart->model.lines.push_back(std::move(line));
    return 0;
}

int stmtAddChartDataPoint(StatementContext& ctx) {
    std::vector<std::string> w;
    ChartEntry* chart = nullptr;
    if (frame(ctx, {err::K_CHART_ADD_POINT_PARSING_ERROR}, 4, w, chart)) return 1;
    uint8_t number = 0;
    if (byteValue(ctx, w[1], err::K_CHART_ADD_POINT_ILLEGAL_LINENO_VARIABLE_TYPE_SPECIFIED, err::K_CHART_ADD_POINT_UNRECOGNIZABLE_LINENO_VALUE_ARG,
                  err::K_CHART_ADD_POINT_ILLEGAL_LINENO_VARIABLE_TYPE_VALUE_ARG, number))
        return 1;
    double x = 0, y = 0;
    if (!numberValue(ctx, w[2], x)) return ctx.fail(err::K_CHART_ADD_POINT_UNRECOGNIZABLE_X_VALUE_ARG);
    if (!numberValue(ctx, w[3], y)) return ctx.fail(err::K_CHART_ADD_POINT_UNRECOGNIZABLE_Y_VALUE_ARG);
    if (!ctx.executing()) return 0;
    if (!chart->open) return ctx.fail(err::K_CHART_ADD_POINT_OP_NOT_ALLOWED_WHEN_CHART_CLOSED);
    if (chart->model.lines.empty()) return ctx.fail(err::K_CHART_ADD_POINT_NO_LINES_SPECIFIED_IN_CHART);
    ChartLine* line = chart->model.line(number);
    if (!line) return ctx.fail(err::K_CHART_ADD_POINT_INVALID_LINE_SPECIFIED);
    if (line->points.size() >= kPointLimit) return ctx.fail(err::K_CHART_ADD_POINT_UNKNOWN_ERROR_DETECTED);
    line->points.push_back({x, y});
    if (ChartOutput* out = ctx.engine.chartOutput(); out && !out->chartAddPoint(chart->model, number, x, y))
        return ctx.fail(err::K_CHART_ADD_POINT_PFLDR_ERROR);
    return 0;
}

int stmtOpenChart(StatementContext& ctx) {
    std::vector<std::string> w;
    ChartEntry* chart = nullptr;
    if (frame(ctx, {err::K_OPEN_CHART_PARSING_ERROR}, 1, w, chart)) return 1;
    if (!ctx.executing()) return 0;
    if (chart->open) return ctx.fail(err::K_OPEN_CHART_OP_NOT_ALLOW_WHEN_CHART_OPENED);
    chart->open = true;
    chart->model.tag = chart->name;
    chart->model.declared = chart->extra;
    if (ChartOutput* out = ctx.engine.chartOutput(); out && !out->chartOpen(chart->model)) return ctx.fail(err::K_OPEN_CHART_PFLDR_CREATE_ERROR);
    return 0;
}

int stmtCloseChart(StatementContext& ctx) {
    std::vector<std::string> w;
    ChartEntry* chart = nullptr;
    if (frame(ctx, {err::K_CLOSE_CHART_PARSING_ERROR}, 1, w, chart)) return 1;
    if (!ctx.executing()) return 0;
    if (!chart->open) return ctx.fail(err::K_CLOSE_CHART_OP_NOT_ALLOWED_WHEN_CHART_CLOSED);
    return closeChart(ctx.engine, *chart) ? 0 : ctx.fail(err::K_CLOSE_CHART_PFLDR_CLOSE_ERROR);
}

int stmtResetChart(StatementContext& ctx) {
    std::vector<std::string> w;
    ChartEntry* chart = nullptr;
    if (frame(ctx, {err::K_RESET_CHART_PARSING_ERROR}, 1, w, chart)) return 1;
    if (!ctx.executing()) return 0;
    if (!chart->open) return ctx.fail(err::K_RESET_CHART_OP_NOT_ALLOWED_WHEN_CHART_CLOSED);
    chart->model.lines.clear();
    if (ChartOutput* out = ctx.engine.chartOutput(); out && !out->chartReset(chart->model)) return ctx.fail(err::K_RESET_CHART_PFLDR_RESET_ERROR);
    return 0;
}

}  // namespace vexal::script
