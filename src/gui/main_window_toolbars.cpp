// The two tool bars: the standard bar of short labels (engineering mode) and the labelled
// bar with the busy animation.
#include "gui/main_window.h"

#include <QAction>
#include <QToolBar>
#include <QToolButton>

#include <map>
#include <vector>

#include "gui/busy_indicator.h"

namespace vexal::gui {

void MainWindow::createToolBars() {
    standardBar_ = new QToolBar("Standard", this);
    standardBar_->setObjectName("standardToolBar");
    standardBar_->setIconSize(QSize(16, 16));
    standardBar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    const std::vector<std::vector<const char*>> groups = {
        {"actSave"},
        {"actRescan", "actInquiry", "actTestUnitReady"},
        {"actRequestSense", "actModeSelect", "actModeSense", "actLogSense", "actLogSelect"},
        {"actRewind", "actLocate", "actSpace", "actReadPosition"},
        {"actLoad", "actUnload"},
        {"actWrite", "actWriteFilemarks", "actRead"},
        {"actCreateCdb"},
        {"actClearView"},
        {"actAbortTest", "actRunTest"},
        {"actFirmware", "actFupTape"},
        {"actFaDump"},
        {"actAbout"}};
    // Short labels: the standard bar carries many buttons.
    const std::map<QString, QString> shortLabels = {
        {"actSave", "Save"}, {"actRescan", "Rescan"}, {"actInquiry", "Inq"}, {"actTestUnitReady", "TUR"},
        {"actRequestSense", "RS"}, {"actModeSelect", "MSel"}, {"actModeSense", "MSen"}, {"actLogSense", "LSen"},
        {"actLogSelect", "LSel"}, {"actRewind", "Rew"}, {"actLocate", "Loc"}, {"actSpace", "Spc"},
        {"actReadPosition", "RPos"}, {"actLoad", "Load"}, {"actUnload", "Unld"}, {"actWrite", "Wr"},
        {"actWriteFilemarks", "WFM"}, {"actRead", "Rd"}, {"actCreateCdb", "CDB"}, {"actClearView", "Clr"},
        {"actAbortTest", "Abort"}, {"actRunTest", "Run"}, {"actFirmware", "FW"}, {"actFupTape", "FUP"},
        {"actFaDump", "FA"}, {"actAbout", "?"}};
    for (size_t g = 0; g < groups.size(); ++g) {
        if (g) standardBar_->addSeparator();
        for (const char* name : groups[g]) {
            // A button of its own with a short label; the menu's text is its tooltip.
            QAction* target = actions_.at(name);
            auto* a = new QAction(shortLabels.at(name), standardBar_);
            a->setObjectName(QString("std") + name);
            a->setToolTip(target->text().remove('&'));
            connect(a, &QAction::triggered, target, &QAction::trigger);
            connect(target, &QAction::changed, a, [a, target] { a->setEnabled(target->isEnabled()); });
            standardBar_->addAction(a);
        }
    }

    labelledBar_ = new QToolBar("Labelled", this);
    labelledBar_->setObjectName("labelledToolBar");
    labelledBar_->setIconSize(QSize(32, 32));
    labelledBar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    const std::vector<std::vector<std::pair<const char*, const char*>>> labelled = {
        {{"actSave", "Save"}, {"actRescan", "Scan"}, {"actInquiry", "Inquiry"}, {"actReady", "Ready"}},
        {{"actClearView", "Clear"}, {"actAbortTest", "Abort"}, {"actRunTest", "Run Test"}},
        {{"actFirmware", "Firmware"}, {"actFupTape", "FUP Tape"}, {"actFaDump", "FA Dump"}},
        {{"actWizard", "Wizard"}, {"actAbout", "About"}}};
    for (size_t g = 0; g < labelled.size(); ++g) {
        if (g) labelledBar_->addSeparator();
        for (auto [name, label] : labelled[g]) {
            // A button of its own, so that its label differs from the menu text.
            QAction* target = actions_.at(name);
            auto* a = new QAction(target->icon(), label, labelledBar_);
            a->setObjectName(QString("bar") + name);
            connect(a, &QAction::triggered, target, &QAction::trigger);
            connect(target, &QAction::changed, a, [a, target] { a->setEnabled(target->isEnabled()); });
            labelledBar_->addAction(a);
        }
    }
    for (QAction* a : labelledBar_->actions())
        if (auto* b = labelledBar_->widgetForAction(a)) b->setMinimumWidth(55);
    // The busy animation at the bar's right end.
    auto* gap = new QWidget(labelledBar_);
    gap->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    labelledBar_->addWidget(gap);
    busy_ = new BusyIndicator(labelledBar_);
    labelledBar_->addWidget(busy_);
    addToolBar(Qt::TopToolBarArea, labelledBar_);
    addToolBarBreak();
    addToolBar(Qt::TopToolBarArea, standardBar_);
}

}  // namespace vexal::gui
