#pragma once
// The log view: the last lines of the document's line list, one per text row, coloured by
// the tag each line carries. Drawn from a copy taken when the list changed, so that a
// worker appending lines never waits on drawing.
#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>

#include <cstdint>
#include <string>
#include <vector>

#include "log/line_list.h"
#include "log/line_style.h"
#include "log/view_colours.h"

namespace vexal::gui {

// COLORREF (0x00BBGGRR) to a Qt colour and back.
QColor fromColorRef(uint32_t colour);
uint32_t toColorRef(const QColor& colour);

class LogView : public QAbstractScrollArea {
    Q_OBJECT
public:
    LogView(log::LineList& lines, log::ViewColours& colours, QWidget* parent = nullptr);

    // Takes a new copy when the list changed since the last call (or `force`); true when
    // it did. Called from the window's timer.
    bool refresh(bool force = false);

    // What the view draws: row count, the drawn text of a row (prefix removed) and its colour.
    size_t drawnCount() const { return rows_.size(); }
    QString rowText(size_t row) const;
    QColor rowColour(size_t row) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateScrollBars();

    struct Row {
        std::string text;
        log::LineStyle style;
    };

    log::LineList& lines_;
    log::ViewColours& colours_;
    std::vector<Row> rows_;
    uint64_t seenChange_ = ~uint64_t{0};
    // Set by a Command_Sent line so that the next line takes the command colour; lives
    // across drawing passes.
    bool carry_ = false;
    QFont font_;
    int lineHeight_ = 1;
    int charWidth_ = 1;
    size_t longest_ = 0;
};

}  // namespace vexal::gui
