#include "gui/log_view.h"

#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace vexal::gui {

QColor fromColorRef(uint32_t c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }
uint32_t toColorRef(const QColor& c) {
    return uint32_t(c.red()) | (uint32_t(c.green()) << 8) | (uint32_t(c.blue()) << 16);
}

LogView::LogView(log::LineList& lines, log::ViewColours& colours, QWidget* parent)
    : QAbstractScrollArea(parent), lines_(lines), colours_(colours), font_("Courier", 10) {
    font_.setStyleHint(QFont::TypeWriter);
    font_.setFixedPitch(true);
    const QFontMetrics metrics(font_);
    lineHeight_ = std::max(1, metrics.height());
    charWidth_ = std::max(1, metrics.maxWidth());
    QPalette p = viewport()->palette();
    p.setColor(QPalette::Base, fromColorRef(log::kBackgroundColour));
    viewport()->setPalette(p);
    viewport()->setAutoFillBackground(true);
    setObjectName("logView");
}

bool LogView::refresh(bool force) {
    const uint64_t change = lines_.changeCount();
    if (!force && change == seenChange_) return false;
    seenChange_ = change;
    QScrollBar* bar = verticalScrollBar();
    const bool atEnd = bar->value() >= bar->maximum();
    std::vector<std::string> drawn = lines_.drawnLines();
    rows_.clear();
    rows_.reserve(drawn.size());
    longest_ = 0;
    for (auto& line : drawn) {
        const log::LineStyle style = log::classifyLine(line, carry_, colours_);
        longest_ = std::max(longest_, line.size() - std::min(style.skip, line.size()));
        rows_.push_back({std::move(line), style});
    }
    lines_.setDrawnCount(rows_.size());
    updateScrollBars();
    if (atEnd) bar->setValue(bar->maximum());
    viewport()->update();
    return true;
}

QString LogView::rowText(size_t row) const {
    if (row >= rows_.size()) return {};
    const Row& r = rows_[row];
    const size_t skip = std::min(r.style.skip, r.text.size());
    return QString::fromUtf8(r.text.data() + skip, int(r.text.size() - skip));
}

QColor LogView::rowColour(size_t row) const {
    return row < rows_.size() ? fromColorRef(rows_[row].style.colour) : QColor();
}

void LogView::updateScrollBars() {
    const int visibleRows = std::max(1, viewport()->height() / lineHeight_);
    verticalScrollBar()->setRange(0, std::max(0, int(rows_.size()) - visibleRows));
    verticalScrollBar()->setPageStep(visibleRows);
    const int width = int(std::min<size_t>(longest_, 1 << 20)) * charWidth_;
    horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setSingleStep(charWidth_);
}

void LogView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void LogView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.setFont(font_);
    const int first = verticalScrollBar()->value();
    const int x = -horizontalScrollBar()->value();
    const int rows = viewport()->height() / lineHeight_ + 2;
    for (int i = 0; i < rows && size_t(first + i) < rows_.size(); ++i) {
        const size_t row = size_t(first + i);
        painter.setPen(fromColorRef(rows_[row].style.colour));
        const QRect box(x, i * lineHeight_, std::max(viewport()->width() - x, 1) + int(longest_) * charWidth_,
                        lineHeight_);
        painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextExpandTabs | Qt::TextSingleLine, rowText(row));
    }
}

}  // namespace vexal::gui
