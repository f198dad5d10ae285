#include "device/device_selection.h"

#include <algorithm>
#include <chrono>

#include "device/drive_family.h"
#include "platform/settings_store.h"

namespace vexal::device {

using platform::ProfileStore;

bool StoreSelection(const DeviceEntry& entry, int instance) {
    const std::string section = selectedSection(instance);
    return ProfileStore::writeInt(section, "UnitNumber", entry.index) &&
           ProfileStore::writeInt(section, "HostNumber", entry.address.hostAdapter) &&
           ProfileStore::writeInt(section, "TargetID", entry.address.target) &&
           ProfileStore::writeInt(section, "Lun", entry.address.lun);
}

SelectResult SelectActiveDevice(BusScanner& scanner, int index, const SelectionContext& context,
                                ActiveDevice& active, ui::Operator& op) {
    if (!context.idle) {
        op.message(kNotIdleSelectMessage, "Vexal", ui::Icon::Exclamation);
        return SelectResult::NotIdle;
    }
    DeviceEntry entry;
    if (!scanner.BindDevice(index, entry) || index >= scanner.deviceCount()) return SelectResult::NoSuchDevice;
    if (!mayAddress(scanner.DriveFamily(index), context.wizardPrivileges)) {
        op.message(kNotSupportedMessage, "Vexal", ui::Icon::Exclamation);
        if (active.bound) scanner.BindDevice(active.entry.index, active.entry);
        return SelectResult::NotAddressable;
    }
    // A partial list's indices are not the full scan's: the stored choice stays as it was.
    if (!scanner.partial()) StoreSelection(entry, context.instance);
    active.entry = entry;
    active.bound = true;
    return SelectResult::Selected;
}

std::vector<int> ConfirmMultiSelection(BusScanner& scanner, const std::vector<int>& indices,
                                       const SelectionContext& context, const ActiveDevice& active,
                                       ui::Operator& op, bool fromPane) {
    std::vector<int> kept;
    for (int index : indices) {
        if (index != active.index() && !mayAddress(scanner.DriveFamily(index), context.wizardPrivileges)) {
            op.message(kRemovedFromSelectionMessage, "Vexal", ui::Icon::Exclamation);
            continue;
        }
        kept.push_back(index);
    }
    const char* question = fromPane ? kPaneMultiSelectQuestion : kMultiSelectQuestion;
    if (op.message(question, "Vexal", ui::Icon::Question, ui::Buttons::YesNo, ui::Button::No) != ui::Button::Yes)
        return {};
    return kept;
}

void RestoreSelection(BusScanner& scanner, int instance, ActiveDevice& active, ui::Operator& op) {
    if (scanner.partial()) {
        // One named device, and nothing stored is about it.
        active.bound = scanner.BindDevice(0, active.entry);
        return;
    }
    const std::string section = selectedSection(instance);
    const int unit = static_cast<int>(ProfileStore::readInt(section, "UnitNumber", 0));
    const long host = ProfileStore::readInt(section, "HostNumber", -1);
    const long target = ProfileStore::readInt(section, "TargetID", -1);
    const long lun = ProfileStore::readInt(section, "Lun", -1);

    DeviceEntry entry;
    const bool bound = scanner.BindDevice(unit, entry);
    if (bound && entry.address.hostAdapter == host && entry.address.target == target && entry.address.lun == lun) {
        active.entry = entry;
        active.bound = true;
        return;
    }
    if (host != -1) op.message(kDevicesChangedNotification, "Vexal", ui::Icon::Information);
    active.bound = scanner.BindDevice(0, active.entry);
    if (!active.bound) return;
    // The device's own serial number stays; a remembered one belonged to another device.
    if (!active.entry.serialFromDevice) active.entry.serialNumber = kNoSerialNumber;
    active.entry.driveLabel = kNoDriveLabel;
    StoreSelection(active.entry, instance);
    ProfileStore::writeString(labeledSection(0), "SerialNumber", active.entry.serialNumber);
    ProfileStore::writeString(labeledSection(0), "DriveLabel", active.entry.driveLabel);
}

int RescanAndReselect(BusScanner& scanner, const ScanConfig& config, int instance, ActiveDevice& active,
                      ui::Operator& op) {
    using std::chrono::milliseconds;
    const bool hadActive = active.bound;
    const DeviceAddress remembered = active.entry.address;
    const int index = active.bound ? active.entry.index : 0;
    scanner.RescanBus(config);
    op.pace(milliseconds(100));
    const int count = scanner.ScanBuses(config);
    op.pace(milliseconds(100));
    DeviceEntry entry;
    active.bound = scanner.BindDevice(index, entry);
    if (active.bound) {
        active.entry = entry;
        if (hadActive && entry.address != remembered)
            op.message(kSelectionChangedMessage, "Vexal", ui::Icon::Exclamation);
        if (!scanner.partial()) ProfileStore::writeInt(selectedSection(instance), "UnitNumber", index);
    } else if (hadActive) {
        op.message(kSelectionChangedMessage, "Vexal", ui::Icon::Exclamation);
    }
    return count;
}

}  // namespace vexal::device
