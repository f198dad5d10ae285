// Chart statements: the argument count, the chart tag and the kinds of the arguments.
// Values, text lengths and the chart's open or closed state are the run's to check.
#include <vector>

#include "script/number_literals.h"
#include "script/script_error_codes.h"
#include "script/script_text.h"
#include "script/statement_handlers.h"

namespace vexal::script {
namespace {

struct Frame {
    int32_t split, count, tag;
};

// Splits the arguments, checks their number and the tag. 0 with `w` filled, or 1.
int frame(StatementContext& ctx, const Frame& f, size_t count, std::vector<std::string>& w) {
    if (!splitQuotedWords(ctx.args, w)) return ctx.fail(f.split);
    if (w.size() != count) return ctx.fail(f.count);
    return ctx.tables().charts.find(w[0]) ? 0 : ctx.fail(f.tag);
}

// Frame codes are numbered from the statement's first code.
Frame frameOf(int32_t first) { return {first, first - 1, first - 2}; }

// A byte literal or a BYTE variable: line numbers, types and styles.
int byteValue(StatementContext& ctx, std::string_view w, int32_t wide, int32_t unknown, int32_t type) {
    const int code = ClassifyNumber(w);
    if (code == kNumberByte) return 0;
    if (code > 0) return ctx.fail(wide);
    return ctx.needVariable(w, {VarType::Byte}, unknown, type);
}

bool isNumber(StatementContext& ctx, std::string_view w) { return IsNumberLiteral(w) || ctx.variable(w); }

// A double-quoted text or a buffer.
bool isText(StatementContext& ctx, std::string_view w) {
    std::string text;
    return unquote(w, text) || ctx.buffer(w);
}

int textStatement(StatementContext& ctx, int32_t first) {
    std::vector<std::string> w;
    if (frame(ctx, frameOf(first), 2, w)) return 1;
    return isText(ctx, w[1]) ? 0 : ctx.fail(first - 3);
}

int rangeStatement(StatementContext& ctx, int32_t first) {
    std::vector<std::string> w;
    if (frame(ctx, frameOf(first), 3, w)) return 1;
    if (!isNumber(ctx, w[1])) return ctx.fail(first - 3);
    return isNumber(ctx, w[2]) ? 0 : ctx.fail(first - 4);
}

int colorStatement(StatementContext& ctx, int32_t first) {
    std::vector<std::string> w;
    if (frame(ctx, frameOf(first), 2, w)) return 1;
    return ctx.tables().colors.find(w[1]) ? 0 : ctx.fail(first - 3);
}

int tagStatement(StatementContext& ctx, int32_t first) {
    std::vector<std::string> w;
    return frame(ctx, frameOf(first), 1, w);
}

}  // namespace

int stmtSetChartType(StatementContext& ctx) {
    std::vector<std::string> w;
    if (frame(ctx, frameOf(err::K_SET_CHART_TYPE_PARSING_ERROR), 2, w)) return 1;
    return byteValue(ctx, w[1], err::K_SET_CHART_TYPE_ILLEGAL_VARIABLE_TYPE_SPECIFIED, err::K_SET_CHART_TYPE_UNRECOGNIZABLE_VALUE_ARG,
                     err::K_SET_CHART_TYPE_ILLEGAL_VARIABLE_TYPE_VALUE_ARG);
}

int stmtSetChartTitle(StatementContext& ctx) { return textStatement(ctx, err::K_SET_CHART_TITLE_PARSING_ERROR); }
int stmtSetChartXLabel(StatementContext& ctx) { return textStatement(ctx, err::K_SET_CHART_XLABEL_PARSING_ERROR); }
int stmtSetChartYLabel(StatementContext& ctx) { return textStatement(ctx, err::K_SET_CHART_YLABEL_PARSING_ERROR); }
int stmtSetChartXAxis(StatementContext& ctx) { return rangeStatement(ctx, err::K_SET_X_AXIS_PARSING_ERROR); }
int stmtSetChartYAxis(StatementContext& ctx) { return rangeStatement(ctx, err::K_SET_Y_AXIS_PARSING_ERROR); }
int stmtSetChartXScale(StatementContext& ctx) { return rangeStatement(ctx, err::K_SET_X_SCALE_PARSING_ERROR); }
int stmtSetChartYScale(StatementContext& ctx) { return rangeStatement(ctx, err::K_SET_Y_SCALE_PARSING_ERROR); }
int stmtSetChartGridColor(StatementContext& ctx) { return colorStatement(ctx, err::K_SET_GRID_COLOR_PARSING_ERROR); }
int stmtSetChartWindowColor(StatementContext& ctx) { return colorStatement(ctx, err::K_SET_WINDOW_COLOR_PARSING_ERROR); }

int stmtAddChartLine(StatementContext& ctx) {
    std::vector<std::string> w;
    if (frame(ctx, frameOf(err::K_CHART_ADD_LINE_PARSING_ERROR), 5, w)) return 1;
    if (byteValue(ctx, w[1], err::K_CHART_ADD_LINE_ILLEGAL_LINENO_VARIABLE_TYPE_SPECIFIED, err::K_CHART_ADD_LINE_UNRECOGNIZABLE_LINENO_VALUE_ARG,
                  err::K_CHART_ADD_LINE_ILLEGAL_LINENO_VARIABLE_TYPE_VALUE_ARG))
        return 1;
    if (!isText(ctx, w[2])) return ctx.fail(err::K_CHART_ADD_LINE_UNRECOGNIZABLE_LEGENDNAME_ARG_SPECIFIED);
    if (!ctx.tables().colors.find(w[3])) return ctx.fail(err::K_CHART_ADD_LINE_ILLEGAL_COLORTAG_DETECTED);
    return byteValue(ctx, w[4], err::K_CHART_ADD_LINE_ILLEGAL_STYLE_VARIABLE_TYPE_SPECIFIED, err::K_CHART_ADD_LINE_UNRECOGNIZABLE_STYLE_VALUE_ARG,
                     err::K_CHART_ADD_LINE_ILLEGAL_STYLE_VARIABLE_TYPE_VALUE_ARG);
}

int stmtAddChartDataPoint(StatementContext& ctx) {
    std::vector<std::string> w;
    if (frame(ctx, frameOf(err::K_CHART_ADD_POINT_PARSING_ERROR), 4, w)) return 1;
    if (byteValue(ctx, w[1], err::K_CHART_ADD_POINT_ILLEGAL_LINENO_VARIABLE_TYPE_SPECIFIED, err::K_CHART_ADD_POINT_UNRECOGNIZABLE_LINENO_VALUE_ARG,
                  err::K_CHART_ADD_POINT_ILLEGAL_LINENO_VARIABLE_TYPE_VALUE_ARG))
        return 1;
    if (!isNumber(ctx, w[2])) return ctx.fail(err::K_CHART_ADD_POINT_UNRECOGNIZABLE_X_VALUE_ARG);
    return isNumber(ctx, w[3]) ? 0 : ctx.fail(err::K_CHART_ADD_POINT_UNRECOGNIZABLE_Y_VALUE_ARG);
}

int stmtOpenChart(StatementContext& ctx) { return tagStatement(ctx, err::K_OPEN_CHART_PARSING_ERROR); }
int stmtCloseChart(StatementContext& ctx) { return tagStatement(ctx, err::K_CLOSE_CHART_PARSING_ERROR); }
int stmtResetChart(StatementContext& ctx) { return tagStatement(ctx, err::K_RESET_CHART_PARSING_ERROR); }

}  // namespace vexal::script
