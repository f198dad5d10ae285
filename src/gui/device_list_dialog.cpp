#include "gui/device_list_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "gui/icons.h"

namespace vexal::gui {

QTreeWidget* makeDeviceList(QWidget* parent, const std::vector<device::DeviceEntry>& devices,
                            const std::vector<uint8_t>& families, int activeIndex, bool severalRows) {
    auto* list = new QTreeWidget(parent);
    list->setObjectName("deviceList");
    list->setHeaderLabels({"Vendor", "Model", "Product Revision", "Serial Number", "HBA ID", "Target ID", "LUN ID"});
    list->setRootIsDecorated(false);
    list->setSelectionMode(severalRows ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
    for (const auto& d : devices) {
        const auto cells = device::deviceListRow(d);
        auto* item = new QTreeWidgetItem(list);  // owned by the list
        for (int c = 0; c < int(cells.size()); ++c) item->setText(c, QString::fromStdString(cells[size_t(c)]));
        const uint8_t family = size_t(d.index) < families.size() ? families[size_t(d.index)] : 0;
        item->setIcon(0, deviceIcon(deviceIconFor(family)));
        item->setData(0, Qt::UserRole, d.index);
        if (d.index == activeIndex) list->setCurrentItem(item);
    }
    for (int c = 0; c < list->columnCount(); ++c) list->resizeColumnToContents(c);
    return list;
}

std::vector<int> selectedDevices(const QTreeWidget* list) {
    std::vector<int> indices;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        if (item->isSelected()) indices.push_back(item->data(0, Qt::UserRole).toInt());
    }
    return indices;
}

DeviceListDialog::DeviceListDialog(DeviceListContext context, QWidget* parent)
    : QDialog(parent), context_(std::move(context)) {
    setObjectName("deviceListDialog");
    setWindowTitle(kSelectDeviceTitle);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(kSelectDeviceText, this));
    list_ = makeDeviceList(this, context_.devices, context_.families, context_.activeIndex, true);
    layout->addWidget(list_, 1);
    auto* buttons = new QDialogButtonBox(this);
    select_ = buttons->addButton("Select", QDialogButtonBox::ActionRole);
    QPushButton* close = buttons->addButton("Close", QDialogButtonBox::RejectRole);
    connect(select_, &QPushButton::clicked, this, &DeviceListDialog::select);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(list_, &QTreeWidget::itemSelectionChanged, this,
            [this] { select_->setEnabled(!selectedDevices(list_).empty()); });
    connect(list_, &QTreeWidget::itemDoubleClicked, this, &DeviceListDialog::select);
    layout->addWidget(buttons);
    select_->setEnabled(!selectedDevices(list_).empty());
    resize(640, 300);
}

void DeviceListDialog::selectRows(const std::vector<int>& indices) {
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list_->topLevelItem(i);
        const int index = item->data(0, Qt::UserRole).toInt();
        item->setSelected(std::find(indices.begin(), indices.end(), index) != indices.end());
    }
}

void DeviceListDialog::select() {
    const std::vector<int> chosen = selectedDevices(list_);
    if (chosen.size() == 1) {
        if (context_.selectOne && context_.selectOne(chosen.front())) {
            context_.activeIndex = chosen.front();
            select_->setEnabled(false);  // the active device is chosen
        }
    } else if (chosen.size() > 1) {
        if (context_.selectSeveral && context_.selectSeveral(chosen)) accept();
    }
}

}  // namespace vexal::gui
