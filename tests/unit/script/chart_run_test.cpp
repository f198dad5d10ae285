// Chart statements as they run: the chart object they build, the refusals of the chart's
// state and of values, the window calls, the listing and the SVG picture.
#include <cmath>

#include "script/chart_objects.h"
#include "script/chart_svg.h"
#include "script/script_error_codes.h"
#include "run_fixture.h"

namespace vexal::script::testing {
namespace {

constexpr const char* kDeclarations = "CHART C 1 2\nCOLOR Red 255 0 0\nCOLOR Grey 80H 80H 80H\nBYTE one = 1\nBUFFER T [ 80 ]\n";

struct ChartRunTest : ScriptRunTest {
    int runBody(const std::string& body) { return run(std::string("DESCRIPTION c\nStart:\n") + kDeclarations + body + "\n"); }
    ChartModel& model() { return engine.tables().charts.find("C")->model; }
    const std::vector<std::string>& chartCalls() const { return charts.calls; }
};

TEST_F(ChartRunTest, ConfiguredChartOpensPlotsAndCloses) {
    ASSERT_EQ(runBody("SETCHARTTYPE C 0\nSETCHARTTITLE C \"Read rate\"\nSETCHARTXLABEL C \" Pass \"\nPRINT BUFFER T 'MB/s'\n"
                      "SETCHARTYLABEL C T\nSETCHARTXAXIS C 0 10\nSETCHARTYAXIS C 0 1.5\nSETCHARTXSCALE C 1 2\nSETCHARTYSCALE C 0.25 100H\n"
                      "SETCHARTGRIDCOLOR C Grey\nSETCHARTWINDOWCOLOR C Red\nADDCHARTLINE C one \"Drive A\" Red 0\n"
                      "ADDCHARTLINE C 2 \"Drive B\" Grey 1\nOPENCHART C\nADDCHARTDATAPOINT C 1 1 0.5\nDOUBLE y = 0.75\n"
                      "ADDCHARTDATAPOINT C one 2 y\nADDCHARTDATAPOINT C 2 3 1\n"),
              0)
        << engine.TrailText();
    const ChartModel& m = model();
    EXPECT_EQ(m.title, "Read rate");
    EXPECT_EQ(m.xTitle, "Pass");
    EXPECT_EQ(m.yTitle, "MB/s");
    EXPECT_EQ(m.yAxis.maximum, 1.5);
    EXPECT_EQ(m.yScale.maximum, 256);
    EXPECT_EQ(m.gridColor, 0x808080u);
    EXPECT_EQ(m.windowColor, 0x0000FFu);
    ASSERT_EQ(m.lines.size(), 2u);
    EXPECT_EQ(m.lines[0].points.size(), 2u);
    EXPECT_EQ(m.lines[0].points[1].y, 0.75);
    EXPECT_EQ(m.declared, (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(chartCalls(), (std::vector<std::string>{"chartOpen C", "chartAddPoint C 1 1.000000 0.500000",
                                                      "chartAddPoint C 1 2.000000 0.750000", "chartAddPoint C 2 3.000000 1.000000"}));
    EXPECT_EQ(ListCharts(engine.tables().charts),
              "Chart Tag : C\r\n\tTitle   : Read rate\r\n\tX Title : Pass\r\n\tY Title : MB/s\r\n\t  Type         : 0\r\n"
              "\t  Grid Color   : 00808080\r\n\t  Window Color : 000000FF\r\n\t    X Axis  : 0.000 10.000\r\n"
              "\t    Y Axis  : 0.000 1.500\r\n\t    X Scale : 1.000 2.000\r\n\t    y Scale : 0.250 256.000\r\n"
              "\t  Line 1 : Drive A\r\n\t    Pen Color : 000000FF\r\n\t    Style     : 0\r\n\t    Points    : 2\r\n"
              "\t  Line 2 : Drive B\r\n\t    Pen Color : 00808080\r\n\t    Style     : 1\r\n\t    Points    : 1\r\n");

    // The run left the chart open: closing the script's objects closes its window with
    // the chart as it stood, then clears it.
    engine.closeScriptFiles();
    ASSERT_EQ(charts.closedCharts.size(), 1u);
    EXPECT_EQ(charts.closedCharts[0].lines.size(), 2u);
    EXPECT_EQ(out.view.back(), "closed C");
    EXPECT_FALSE(engine.tables().charts.find("C")->open);
    EXPECT_TRUE(model().lines.empty());
    EXPECT_TRUE(model().title.empty());
    EXPECT_EQ(ListCharts(engine.tables().charts).find("\t  No Lines Present\r\n") != std::string::npos, true);
}

TEST_F(ChartRunTest, RunTimeRefusals) {
    const std::string title64(64, 't');
    struct Case {
        std::string body;
        int32_t code;  // 0: accepted
    };
    const Case cases[] = {
        {"SETCHARTTYPE C 1", err::K_SET_CHART_TYPE_ILLEGAL_CHART_TYPE_SPECIFIED},
        {"SETCHARTTITLE C \"" + title64 + "\"", 0},
        {"SETCHARTTITLE C \"" + title64 + "x\"", err::KRT_SET_CHART_TITLE_STRING_IN_BUFFER_EXCEEDS_LIMIT},
        {"SETCHARTXLABEL C T", err::K_SET_CHART_XLABEL_NO_LABEL_SPECIFIED},
        {"SETCHARTYLABEL C \"  \"", err::K_SET_CHART_YLABEL_NO_LABEL_SPECIFIED},
        {"ADDCHARTLINE C 1 \"" + std::string(33, 'l') + "\" Red 0", err::KRT_CHART_ADD_LINE_LEGENDNAME_TEXT_EXCEEDS_LIMIT},
        {"PRINT BUFFER T '" + std::string(33, 'l') + "'\nADDCHARTLINE C 1 T Red 0", err::KRT_CHART_ADD_LINE_LEGENDNAME_IN_BUFFER_EXCEEDS_LIMIT},
        {"ADDCHARTLINE C 1 \"a\" Red 0\nADDCHARTLINE C one \"b\" Red 0", err::K_CHART_ADD_LINE_DUPLICATE_LINE_NUMBER_DETECTED},
        {"ADDCHARTLINE C 1 \"a\" Red 0\nOPENCHART C\nCLOSECHART C\nADDCHARTLINE C 1 \"b\" Red 0", 0},
        {"ADDCHARTLINE C 1 \"a\" Red 0\nADDCHARTDATAPOINT C 1 0 0", err::K_CHART_ADD_POINT_OP_NOT_ALLOWED_WHEN_CHART_CLOSED},
        {"OPENCHART C\nADDCHARTDATAPOINT C 1 0 0", err::K_CHART_ADD_POINT_NO_LINES_SPECIFIED_IN_CHART},
        {"ADDCHARTLINE C 1 \"a\" Red 0\nOPENCHART C\nADDCHARTDATAPOINT C 2 0 0", err::K_CHART_ADD_POINT_INVALID_LINE_SPECIFIED},
        {"OPENCHART C\nSETCHARTXAXIS C 0 1", err::K_SET_X_AXIS_OP_NOT_ALLOWED_WHEN_CHART_OPENED},
        {"OPENCHART C\nSETCHARTTYPE C 0", err::K_SET_CHART_TYPE_OP_NOT_ALLOWED_WHEN_CHART_OPENED},
        {"OPENCHART C\nSETCHARTGRIDCOLOR C Red", err::K_SET_GRID_COLOR_OP_NOT_ALLOWED_WHEN_CHART_OPENED},
        {"OPENCHART C\nADDCHARTLINE C 1 \"a\" Red 0", err::K_CHART_ADD_LINE_OP_NOT_ALLOWED_WHEN_CHART_OPENED},
        {"OPENCHART C\nOPENCHART C", err::K_OPEN_CHART_OP_NOT_ALLOW_WHEN_CHART_OPENED},
        {"CLOSECHART C", err::K_CLOSE_CHART_OP_NOT_ALLOWED_WHEN_CHART_CLOSED},
        {"RESETCHART C", err::K_RESET_CHART_OP_NOT_ALLOWED_WHEN_CHART_CLOSED},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(runBody(c.body), c.code == 0 ? 0 : 1) << c.body << "\n" << engine.TrailText();
        EXPECT_EQ(c.code == 0 ? 0 : runError(), c.code) << c.body;
        engine.closeScriptFiles();
    }
}

TEST_F(ChartRunTest, LoadTimeRefusals) {
    struct Case {
        const char* statement;
        int32_t code;
    };
    const Case cases[] = {
        {"SETCHARTTYPE C", err::K_SET_CHART_TYPE_ILLEGAL_NUMBER_OF_ARGS_DETECTED},
        {"SETCHARTTYPE D 0", err::K_SET_CHART_TYPE_ILLEGAL_CHART_TAG_DETECTED},
        {"SETCHARTTYPE C 100H", err::K_SET_CHART_TYPE_ILLEGAL_VARIABLE_TYPE_SPECIFIED},
        {"SETCHARTTITLE C \"open", err::K_SET_CHART_TITLE_PARSING_ERROR},
        {"SETCHARTTITLE C plain", err::K_SET_CHART_TITLE_UNRECOGNIZABLE_TITLE_ARG_SPECIFIED},
        {"SETCHARTYAXIS C 0 top", err::K_SET_Y_AXIS_UNRECOGNIZABLE_MAX_VALUE_ARG},
        {"SETCHARTWINDOWCOLOR C Blue", err::K_SET_WINDOW_COLOR_ILLEGAL_COLORTAG_DETECTED},
        {"ADDCHARTLINE C 1 \"a\" Red w", err::K_CHART_ADD_LINE_ILLEGAL_STYLE_VARIABLE_TYPE_VALUE_ARG},
        {"ADDCHARTDATAPOINT C 1 x 0", err::K_CHART_ADD_POINT_UNRECOGNIZABLE_X_VALUE_ARG},
        {"RESETCHART C C", err::K_RESET_CHART_ILLEGAL_NUMBER_OF_ARGS_DETECTED},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(load(std::string("DESCRIPTION c\nStart:\n") + kDeclarations + "WORD w\n" + c.statement + "\n")) << c.statement;
        EXPECT_EQ(onlyCode(), c.code) << c.statement;
    }
    EXPECT_TRUE(load(std::string("DESCRIPTION c\nStart:\n") + kDeclarations));
    EXPECT_EQ(ListCharts(ChartTable{}), "*** No Charts Listed ***\r\n");
}

TEST_F(ChartRunTest, WindowFailuresKeepTheStateTheStatementSet) {
    charts.refuses = "chartOpen";
    EXPECT_EQ(runBody("ADDCHARTLINE C 1 \"a\" Red 0\nOPENCHART C"), 1);
    EXPECT_EQ(runError(), err::K_OPEN_CHART_PFLDR_CREATE_ERROR);
    EXPECT_TRUE(engine.tables().charts.find("C")->open);

    charts.refuses = "chartAddPoint";
    EXPECT_EQ(runBody("ADDCHARTLINE C 1 \"a\" Red 0\nOPENCHART C\nADDCHARTDATAPOINT C 1 0 0"), 1);
    EXPECT_EQ(runError(), err::K_CHART_ADD_POINT_PFLDR_ERROR);
    EXPECT_EQ(model().lines[0].points.size(), 1u);

    charts.refuses = "chartReset";
    EXPECT_EQ(runBody("ADDCHARTLINE C 1 \"a\" Red 0\nOPENCHART C\nRESETCHART C"), 1);
    EXPECT_EQ(runError(), err::K_RESET_CHART_PFLDR_RESET_ERROR);
    EXPECT_TRUE(model().lines.empty());

    charts.refuses = "chartClose";
    EXPECT_EQ(runBody("ADDCHARTLINE C 1 \"a\" Red 0\nOPENCHART C\nCLOSECHART C"), 1);
    EXPECT_EQ(runError(), err::K_CLOSE_CHART_PFLDR_CLOSE_ERROR);
    EXPECT_FALSE(engine.tables().charts.find("C")->open);

    // RESETCHART empties the open chart: a point then finds no line.
    charts.refuses.clear();
    EXPECT_EQ(runBody("ADDCHARTLINE C 1 \"a\" Red 0\nOPENCHART C\nRESETCHART C\nADDCHARTDATAPOINT C 1 0 0"), 1);
    EXPECT_EQ(runError(), err::K_CHART_ADD_POINT_NO_LINES_SPECIFIED_IN_CHART);
}

TEST(ChartSvgTest, DrawsLinesInTheirColoursWithEscapedTexts) {
    ChartModel chart;
    chart.tag = "C";
    chart.title = "Rate <MB/s> & more";
    chart.xAxis = {0, 10};
    chart.lines.push_back({1, "A", 0x0000FF, 1, {{0, 1}, {10, 3}}});
    chart.lines.push_back({2, "B", 0xFF0000, 0, {{5, NAN}}});
    const std::string svg = ChartSvg(chart);
    EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
    EXPECT_NE(svg.find("Rate &lt;MB/s&gt; &amp; more"), std::string::npos);
    EXPECT_NE(svg.find("stroke=\"#FF0000\" stroke-width=\"1.5\" stroke-dasharray=\"8,4\" points=\"80.00,"), std::string::npos);
    EXPECT_EQ(svg.find("nan"), std::string::npos);  // points that are no numbers are left out
    EXPECT_NE(svg.find("</svg>"), std::string::npos);

    const fs::path file = fs::temp_directory_path() / "vexal_chart_test.svg";
    ASSERT_TRUE(WriteChartSvg(chart, file));
    EXPECT_EQ(readFile(file), svg);
    fs::remove(file);
}

}  // namespace
}  // namespace vexal::script::testing
