#pragma once
// The device list with its seven columns ("Vexal - Select Active Device"): one device is
// made active, several are taken for a test run on each of them in turn.
#include <QDialog>

#include <functional>
#include <vector>

#include "device/bus_scan.h"

class QPushButton;
class QTreeWidget;

namespace vexal::gui {

inline constexpr const char* kSelectDeviceTitle = "Vexal - Select Active Device";
inline constexpr const char* kSelectDeviceText = "This list shows all SCSI compatible devices found on your system.";

// A list of the devices: "Vendor", "Model", "Product Revision", "Serial Number", "HBA ID",
// "Target ID", "LUN ID", the icon by drive family and the device index as each row's data.
QTreeWidget* makeDeviceList(QWidget* parent, const std::vector<device::DeviceEntry>& devices,
                            const std::vector<uint8_t>& families, int activeIndex, bool severalRows);
// The device indices of the list's selected rows, in list order.
std::vector<int> selectedDevices(const QTreeWidget* list);

struct DeviceListContext {
    std::vector<device::DeviceEntry> devices;
    std::vector<uint8_t> families;  // one drive family code per device, in index order
    int activeIndex = -1;
    // One device: true when it became the active device.
    std::function<bool(int)> selectOne;
    // Several devices: true when a test run on them started.
    std::function<bool(const std::vector<int>&)> selectSeveral;
};

class DeviceListDialog : public QDialog {
    Q_OBJECT
public:
    explicit DeviceListDialog(DeviceListContext context, QWidget* parent = nullptr);
    QTreeWidget* list() const { return list_; }
    QPushButton* selectButton() const { return select_; }
    // Selects the rows of these device indices.
    void selectRows(const std::vector<int>& indices);
    // The "Select" button.
    void select();

private:
    DeviceListContext context_;
    QTreeWidget* list_;
    QPushButton* select_;
};

}  // namespace vexal::gui
