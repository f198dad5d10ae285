#pragma once
// Choosing the active device (or several for a test), remembering the choice in the
// framework profile, and restoring it at the next start.
#include <vector>

#include "operator/operator.h"
#include "device/bus_scan.h"

namespace vexal::device {

struct ActiveDevice {
    bool bound = false;
    DeviceEntry entry;
    int index() const { return bound ? entry.index : -1; }
};

struct SelectionContext {
    bool idle = true;
    bool wizardPrivileges = false;
    int instance = 1;
};

enum class SelectResult { Selected, NotIdle, NotAddressable, NoSuchDevice };

inline constexpr const char* kNotIdleSelectMessage = "Unable to select device while application is not idle.";
inline constexpr const char* kSelectionChangedMessage = "Device selection has changed.  Verify before continuing.";
inline constexpr const char* kRemovedFromSelectionMessage =
    "A device in the selection is not supported and will be removed from the list.";
inline constexpr const char* kMultiSelectQuestion =
    "You have selected more than one device.  This selection is only valid if running a test.  Are you sure you "
    "want to do this?";
inline constexpr const char* kPaneMultiSelectQuestion =
    "Currently, you can only run a test by selecting multiple devices.  Would you like to proceed to the test "
    "selection process?";
inline constexpr const char* kDevicesChangedNotification =
    "Vexal Notification: the attached devices have changed,\nreverting to default device selection. Device serial "
    "numbers may be lost.";

// One device chosen: bound, checked, stored and made active; otherwise the operator is
// told why and the previous active device stays.
SelectResult SelectActiveDevice(BusScanner& scanner, int index, const SelectionContext& context,
                                ActiveDevice& active, ui::Operator& op);

// Several devices chosen for a test: unsupported ones (other than the active one) are
// announced and dropped, then the operator confirms. Empty when declined. `fromPane`
// picks the device pane's question.
std::vector<int> ConfirmMultiSelection(BusScanner& scanner, const std::vector<int>& indices,
                                       const SelectionContext& context, const ActiveDevice& active,
                                       ui::Operator& op, bool fromPane = false);

// Writes the active device's index and address to the instance's "Selected Device".
bool StoreSelection(const DeviceEntry& entry, int instance);

// At document creation: binds the stored device; when the devices changed since, falls
// back to device 0 (telling the operator unless nothing was stored).
void RestoreSelection(BusScanner& scanner, int instance, ActiveDevice& active, ui::Operator& op);

// The Rescan command and the I/O-mode switches: rescan, full scan, re-bind the active
// device and warn when its address changed.
int RescanAndReselect(BusScanner& scanner, const ScanConfig& config, int instance, ActiveDevice& active,
                      ui::Operator& op);

}  // namespace vexal::device
