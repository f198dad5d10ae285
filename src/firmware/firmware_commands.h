#pragma once
// The terminal commands of the firmware update, for vexal-cli to call once its session
// has the device:
//   firmware IMAGE [--mode 4|5]   (default 5: download microcode and save, wait, rescan)
//   fup-tape IMAGE
// They return vexal-cli exit statuses: 0 done, 1 failed or cancelled, 2 usage (a mode
// other than 4 or 5, an image file that cannot be opened), 3 a device the command does
// not support.
#include <ostream>
#include <string>

#include "firmware/firmware_update.h"
#include "firmware/fup_tape.h"

namespace vexal::firmware {

struct FirmwareCommandOptions {
    std::string image;
    int mode = 5;
};

int FirmwareCommand(UpdateContext& context, const FirmwareCommandOptions& options, std::ostream& err);
int FupTapeCommand(FupTapeContext& context, const std::string& image, std::ostream& err);

}  // namespace vexal::firmware
