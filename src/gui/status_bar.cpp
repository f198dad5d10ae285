#include "gui/status_bar.h"

#include <QLabel>

namespace vexal::gui {

StatusPanesBar::StatusPanesBar(QWidget* parent) : QStatusBar(parent) {
    setObjectName("statusPanes");
    // Minimum widths in characters, roughly those of the pane texts.
    constexpr std::array<int, log::kPaneCount> widths = {0, 13, 6, 6, 6, 17, 14, 8, 16};
    for (size_t i = 0; i < log::kPaneCount; ++i) {
        auto* label = new QLabel(this);
        const auto tip = log::kPaneTooltips[i];
        label->setToolTip(QString::fromUtf8(tip.data(), int(tip.size())));
        label->setObjectName(QStringLiteral("pane%1").arg(i));
        if (i == 0) {
            addWidget(label, 1);
        } else {
            label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            label->setMinimumWidth(fontMetrics().averageCharWidth() * widths[i]);
            addPermanentWidget(label);
        }
        labels_[i] = label;
    }
}

void StatusPanesBar::apply(const log::StatusPanes& panes) {
    for (size_t i = 0; i < log::kPaneCount; ++i) {
        const auto& pane = panes.panes[i];
        const QString text = pane.active ? QString::fromStdString(pane.text) : QString();
        if (labels_[i]->text() != text) labels_[i]->setText(text);
        labels_[i]->setEnabled(pane.active);
    }
}

QString StatusPanesBar::paneText(log::Pane pane) const { return labels_[size_t(pane)]->text(); }
QString StatusPanesBar::paneTooltip(log::Pane pane) const { return labels_[size_t(pane)]->toolTip(); }

}  // namespace vexal::gui
