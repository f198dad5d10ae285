#pragma once
// Icons drawn at run time: the device pane's three device kinds, the tool bar images, the
// program's icon (window and tray) and the frames of the busy animation.
#include <QIcon>
#include <QPixmap>

#include <cstdint>

namespace vexal::gui {

enum class DeviceIcon { SupportedTape = 1, Other = 2, UnknownTape = 4 };

// The device pane's icon for a drive family code: 1, 3, 5, 7, 8, 10, 11, 12 a supported
// tape drive, 254 a tape or changer of no known family, anything else another device.
DeviceIcon deviceIconFor(uint8_t familyCode);
QIcon deviceIcon(DeviceIcon kind);

// The labelled tool bar's images (32 by 32, scaled for the standard bar).
enum class ToolImage { Save, Scan, Inquiry, Ready, Clear, Abort, Run, Firmware, FupTape, FaDump, Wizard, About };
QIcon toolIcon(ToolImage image);

QIcon applicationIcon();

inline constexpr int kBusyFrames = 8;
// One frame of the busy animation: a turning tape reel, `size` pixels square.
QPixmap busyFrame(int frame, int size);

}  // namespace vexal::gui
