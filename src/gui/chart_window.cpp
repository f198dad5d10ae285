#include "gui/chart_window.h"

#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QValueAxis>
#include <QVBoxLayout>

#include "gui/log_view.h"

namespace vexal::gui {
namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

// The axis range: the chart's axis when set, else what the points need.
void setRange(QValueAxis* axis, const script::ChartRange& range) {
    if (range.maximum > range.minimum) axis->setRange(range.minimum, range.maximum);
}

}  // namespace

void ChartWindows::draw(QWidget* window, const script::ChartModel& chart) {
    auto* view = window->findChild<QChartView*>();
    if (!view) return;
    auto* c = new QChart;  // owned by the view once set
    c->setTitle(q(chart.title.empty() ? chart.tag : chart.title));
    if (chart.windowColor) c->setBackgroundBrush(fromColorRef(chart.windowColor));
    auto* x = new QValueAxis(c);
    auto* y = new QValueAxis(c);
    x->setTitleText(q(chart.xTitle));
    y->setTitleText(q(chart.yTitle));
    if (chart.gridColor) {
        x->setGridLineColor(fromColorRef(chart.gridColor));
        y->setGridLineColor(fromColorRef(chart.gridColor));
    }
    c->addAxis(x, Qt::AlignBottom);
    c->addAxis(y, Qt::AlignLeft);
    double minX = 0, maxX = 1, minY = 0, maxY = 1;
    bool any = false;
    for (const script::ChartLine& line : chart.lines) {
        auto* series = new QLineSeries(c);
        series->setName(q(line.legend));
        series->setColor(fromColorRef(line.color));
        // Style 0 solid, 1 dashed, 2 dotted, 3 dash-dot; each point is marked.
        QPen pen = series->pen();
        static constexpr Qt::PenStyle kStyles[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine};
        pen.setStyle(line.style < 4 ? kStyles[line.style] : Qt::SolidLine);
        series->setPen(pen);
        series->setPointsVisible(true);
        for (const script::ChartPoint& p : line.points) {
            series->append(p.x, p.y);
            if (!any) minX = maxX = p.x, minY = maxY = p.y;
            any = true;
            minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
        }
        c->addSeries(series);
        series->attachAxis(x);
        series->attachAxis(y);
    }
    x->setRange(minX, maxX > minX ? maxX : minX + 1);
    y->setRange(minY, maxY > minY ? maxY : minY + 1);
    setRange(x, chart.xAxis);
    setRange(y, chart.yAxis);
    QChart* old = view->chart();
    view->setChart(c);
    delete old;
}

bool ChartWindows::open(const script::ChartModel& chart) {
    QPointer<QWidget>& w = windows_[chart.tag];
    if (!w) {
        w = new QWidget(parent_, Qt::Window);  // owned by the main window
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->setWindowTitle(q(chart.title.empty() ? chart.tag : chart.title));
        auto* layout = new QVBoxLayout(w);
        auto* view = new QChartView(w);
        view->setRenderHint(QPainter::Antialiasing);
        layout->addWidget(view);
        w->resize(640, 420);
    }
    draw(w, chart);
    w->show();
    return true;
}

bool ChartWindows::addPoint(const script::ChartModel& chart, uint8_t, double, double) {
    const auto it = windows_.find(chart.tag);
    if (it == windows_.end() || !it->second) return open(chart);
    draw(it->second, chart);
    return true;
}

bool ChartWindows::reset(const script::ChartModel& chart) { return addPoint(chart, 0, 0, 0); }

bool ChartWindows::close(const script::ChartModel& chart) {
    const auto it = windows_.find(chart.tag);
    if (it != windows_.end() && it->second) draw(it->second, chart);
    windows_.erase(chart.tag);  // a later open makes a new window
    return true;
}

QWidget* ChartWindows::window(const std::string& tag) const {
    const auto it = windows_.find(tag);
    return it == windows_.end() ? nullptr : it->second.data();
}

}  // namespace vexal::gui
