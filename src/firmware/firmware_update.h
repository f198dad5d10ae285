#pragma once
// Firmware update from an image file: WRITE BUFFER mode 5 (download microcode and save,
// with the FUP Status window, the wait for the drive and the rescan), mode 4 (the same
// transfer without window or wait), and the update a script asks for.
#include <chrono>
#include <functional>
#include <string>

#include "operator/operator.h"
#include "command/scsi_device.h"
#include "command/scsi_result.h"
#include "device/bus_scan.h"
#include "device/device_selection.h"

namespace vexal::firmware {

enum class Outcome {
    Done,          // the image was taken (mode 5: and the drive came back)
    NotSupported,  // the family check refused the device
    Cancelled,     // the operator cancelled, or the image file could not be opened
    Failed,        // a cartridge is loaded, or the transfer failed
    NotReady,      // mode 5: the drive did not come ready within 480 seconds
};

// How long the mode 5 update waits for the drive, in one-second polls.
inline constexpr int kReadyPolls = 480;

// Every pause the procedures make goes through `sleep`, so that a test can run the waits
// (480 polls a second apart, the 20-second bar) without waiting.
using SleepFunction = std::function<void(std::chrono::milliseconds)>;
void realSleep(std::chrono::milliseconds duration);

// The full bus scan a successful mode 5 update ends with; without a scanner the device is
// left as it is.
struct RescanTarget {
    device::BusScanner* scanner = nullptr;
    device::ScanConfig config;
    int instance = 1;
    device::ActiveDevice* active = nullptr;
};

struct UpdateContext {
    command::CScsiDevice& device;  // the active device; its familyCode is the drive family
    ui::Operator& op;
    bool wizardPrivileges = false;
    RescanTarget rescan;
    SleepFunction sleep = realSleep;
    // Called after each TEST UNIT READY of the wait: the desktop redraws its view.
    std::function<void()> refreshView;
};

// The WRITE BUFFER command with mode 5. `imagePath` empty: the operator chooses the file.
// Returns the outcome; `result`, when given, gets what the command reports (0 good, 255
// failed).
Outcome DownloadMicrocodeAndSave(UpdateContext& context, const std::string& imagePath = {},
                                 command::ScsiResult* result = nullptr);
// The WRITE BUFFER command with mode 4.
Outcome DownloadMicrocode(UpdateContext& context, const std::string& imagePath = {},
                          command::ScsiResult* result = nullptr);

// Script firmware update results.
inline constexpr int kScriptUpdateDone = 1;
inline constexpr int kScriptUpdateFailed = 0;
inline constexpr int kScriptUpdateCancelled = 255;
// The firmware update a script statement names: 1 done, 0 failed, 255 cancelled.
int FupFromScript(UpdateContext& context, const std::string& fileName);

}  // namespace vexal::firmware
