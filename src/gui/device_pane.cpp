#include "gui/device_pane.h"

#include <QAction>
#include <QHeaderView>
#include <QTreeWidget>

#include "gui/icons.h"

namespace vexal::gui {

DevicePane::DevicePane(QWidget* parent) : QDockWidget("Devices", parent) {
    setObjectName("devicesPane");
    setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    list_ = new QTreeWidget(this);
    list_->setColumnCount(4);
    list_->setHeaderLabels({"Device", "H", "T", "L"});
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->header()->setStretchLastSection(false);
    list_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int c = 1; c < 4; ++c) list_->header()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    setWidget(list_);
    connect(list_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        const std::vector<int> chosen = selectedDevices();
        if (chosen.size() > 1) Q_EMIT devicesChosen(chosen);
        else if (item) Q_EMIT deviceChosen(item->data(0, Qt::UserRole).toInt());
    });
    auto* runOnSelected = new QAction("Run Test on the Selected Devices...", list_);
    runOnSelected->setObjectName("actRunOnSelected");
    connect(runOnSelected, &QAction::triggered, this, [this] {
        const std::vector<int> chosen = selectedDevices();
        if (chosen.size() > 1) Q_EMIT devicesChosen(chosen);
    });
    list_->addAction(runOnSelected);
    list_->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void DevicePane::setDevices(const std::vector<device::DeviceEntry>& devices, const std::vector<uint8_t>& families,
                            int activeIndex) {
    list_->clear();
    for (const auto& d : devices) {
        const auto cells = device::devicePaneRow(d);
        auto* item = new QTreeWidgetItem(list_);  // owned by the list
        for (int c = 0; c < int(cells.size()) && c < 4; ++c) item->setText(c, QString::fromStdString(cells[size_t(c)]));
        const uint8_t family = size_t(d.index) < families.size() ? families[size_t(d.index)] : 0;
        item->setIcon(0, deviceIcon(deviceIconFor(family)));
        item->setData(0, Qt::UserRole, d.index);
    }
    markActive(activeIndex);
}

void DevicePane::markActive(int index) {
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list_->topLevelItem(i);
        QFont font = item->font(0);
        font.setBold(item->data(0, Qt::UserRole).toInt() == index);
        for (int c = 0; c < 4; ++c) item->setFont(c, font);
        if (item->data(0, Qt::UserRole).toInt() == index) list_->setCurrentItem(item);
    }
}

std::vector<int> DevicePane::selectedDevices() const {
    std::vector<int> indices;
    for (int i = 0; i < list_->topLevelItemCount(); ++i)
        if (list_->topLevelItem(i)->isSelected()) indices.push_back(list_->topLevelItem(i)->data(0, Qt::UserRole).toInt());
    return indices;
}

int DevicePane::rowCount() const { return list_->topLevelItemCount(); }

}  // namespace vexal::gui
