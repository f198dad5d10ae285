#pragma once
// The "Devices" pane: one row per device of the last scan, its icon from the drive family;
// activating a row asks the window to make that device the active one; activating several
// selected rows (or the context menu's command) asks for a test run on each of them.
#include <QDockWidget>

#include <vector>

#include "device/bus_scan.h"

class QTreeWidget;

namespace vexal::gui {

class DevicePane : public QDockWidget {
    Q_OBJECT
public:
    explicit DevicePane(QWidget* parent = nullptr);
    // `families` holds one drive family code per device, in index order.
    void setDevices(const std::vector<device::DeviceEntry>& devices, const std::vector<uint8_t>& families,
                    int activeIndex);
    void markActive(int index);
    int rowCount() const;
    QTreeWidget* list() const { return list_; }
    // The device indices of the selected rows, in list order.
    std::vector<int> selectedDevices() const;

Q_SIGNALS:
    void deviceChosen(int index);
    void devicesChosen(const std::vector<int>& indices);

private:
    QTreeWidget* list_;  // owned by the pane
};

}  // namespace vexal::gui
