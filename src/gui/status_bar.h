#pragma once
// The nine status bar panes with their tooltips; texts come from the core's pane rules.
#include <QStatusBar>

#include <array>

#include "log/status_panes.h"

class QLabel;

namespace vexal::gui {

class StatusPanesBar : public QStatusBar {
    Q_OBJECT
public:
    explicit StatusPanesBar(QWidget* parent = nullptr);
    void apply(const log::StatusPanes& panes);
    QString paneText(log::Pane pane) const;
    QString paneTooltip(log::Pane pane) const;

private:
    std::array<QLabel*, log::kPaneCount> labels_{};  // owned by the bar
};

}  // namespace vexal::gui
