#pragma once
// Icons drawn at run time: the device pane's three device kinds.
#include <QIcon>

#include <cstdint>

namespace vexal::gui {

enum class DeviceIcon { SupportedTape = 1, Other = 2, UnknownTape = 4 };

// The device pane's icon for a drive family code: 1, 3, 5, 7, 8, 10, 11, 12 a supported
// tape drive, 254 a tape or changer of no known family, anything else another device.
DeviceIcon deviceIconFor(uint8_t familyCode);
QIcon deviceIcon(DeviceIcon kind);

}  // namespace vexal::gui
