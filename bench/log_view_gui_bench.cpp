// The desktop's log view with a million lines in the line list: the time to take the
// view's copy after a change and to paint it. The view copies and draws the last 10 000
// lines only, so neither grows with the list.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <cstdlib>
#include <string>

#include "gui/log_view.h"
#include "log/line_list.h"
#include "log/view_colours.h"

namespace {

void fill(vexal::log::LineList& list, size_t lines) {
    for (size_t i = list.size(); i < lines; ++i)
        list.append(i % 3 == 0 ? " RAW_CDB: 08 00 00 80 00 00" : "  Completed Consecutive Command Count: " + std::to_string(i));
}

void BM_LogViewRefreshAndPaint(benchmark::State& state) {
    const auto lines = static_cast<size_t>(state.range(0));
    vexal::log::LineList list;
    fill(list, lines);
    vexal::log::ViewColours colours;
    vexal::gui::LogView view(list, colours);
    view.resize(1200, 800);
    QImage canvas(1200, 800, QImage::Format_ARGB32);
    for (auto _ : state) {
        list.append("Status: SCSI_GOOD");  // a change, as a running command makes
        view.refresh();
        QPainter painter(&canvas);
        view.viewport()->render(&painter);
    }
    state.counters["lines_in_list"] = static_cast<double>(list.size());
    state.counters["rows_drawn"] = static_cast<double>(view.drawnCount());
}
BENCHMARK(BM_LogViewRefreshAndPaint)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
