#pragma once
// The texts the firmware update and the FUP tape show, word for word.
#include <string_view>

namespace vexal::firmware {

inline constexpr std::string_view kImageFilter =
    "Firmware Update Files KTX/SKTX(*.img)|*.img|Firmware Update Files RQ(*.image)|*.image|All files(*.*)|*.*|";
inline constexpr std::string_view kImageDialogCaption = "Open";

// The heading of the FUP Warning dialogs and of the FUP Status window.
inline constexpr std::string_view kWarningHeading = "WARNING";
// FUP Warning dialog of the interactive and script updates.
inline constexpr std::string_view kStartWarning =
    "Your tape drive will now start the firmware update.  This will take up to 8 minutes to complete.  Please "
    "wait for the firmware update process to be completed before making  any changes to the state of your system "
    "or power.";
// FUP Status window.
inline constexpr std::string_view kStatusWarning =
    "Your tape drive is being updated with firmware.  DO NOT disturb the tape drive for a period of 8 minutes, "
    "even if your computer stops functioning (i.e. Blue Screen, stops responding).  The tape drive will complete "
    "the firmware update once it gets started without the assistance of the computer or SCSI bus.";
// First FUP Warning dialog of the script update.
inline constexpr std::string_view kScriptWarning =
    "You are about to change the firmware for this device.  Ensure that all other applications that access the "
    "tape drive, interface manager, or the library have been shut down or put into a state where no device access "
    "takes place until the firmware update is completed.  To avoid the risk of creating a non-functional drive DO "
    "NOT disconnect power, reboot, or interrupt this process until it has completed.  The code update process can "
    "take up to 8 minutes to complete.  Please wait for a code update completion message before attempting to "
    "power-off or reboot.";

inline constexpr std::string_view kFlashCancelled = "Firmware flash cancelled.";
inline constexpr std::string_view kRemoveTape = "Tape must be removed before flashing firmware.";
inline constexpr std::string_view kErrorSaving = "Error saving firmware to drive.  Firmware flash was unsuccessful.";
inline constexpr std::string_view kErrorWriting = "Error writing firmware to drive.  Firmware flash was unsuccessful.";
// The script's image file could not be opened; "%1" is the name.
inline constexpr std::string_view kUpdateFileNotFound =
    "The update file \"%1\" was not found, this file must be in the same directory as the Varezavezere "
    "application.\nThe update operation must be aborted.";

// FUP Status window texts.
inline constexpr std::string_view kLoadingImage = "Loading FUP image...";
inline constexpr std::string_view kInProgress = "FUP In-progress...";
inline constexpr std::string_view kWaitingForDrive = "Waiting for drive to come ready...";
inline constexpr std::string_view kComplete = "FUP complete.";
inline constexpr std::string_view kUpdateDone =
    "The drive has completed the firmware update procedure.  The application will now rescan the SCSI bus for any "
    "changes to your device configuration.  If you are unable to communicate to the drive that has been updated "
    "you may need to stop and restart the application.  If you are still unable to communicate to the device try "
    "using the system Device Manager or reboot your computer.";
inline constexpr std::string_view kNotReady =
    "The drive did not come ready.  You should shutdown Vexal and restart the application.  If the drive does not "
    "appear or respond you may need to reboot the computer.";

// Write FUP Tape.
inline constexpr std::string_view kTapeOverwriteQuestion =
    "WARNING:  You are about to permanently overwrite data on this tape.  Click OK to select the image file or "
    "click Cancel to discontinue the FUP tape operation.";
inline constexpr std::string_view kTapeCancelled = "FUP tape operation cancelled.";
inline constexpr std::string_view kUnknownMedia = "Unknown media or media not present.";
inline constexpr std::string_view kCleaningTape = "Cleaning tape present, unable to continue.";
inline constexpr std::string_view kUnknownDensity = "Cannot determine media density.";
inline constexpr std::string_view kUnknownCompression =
    "Cannot determine compression state.  The drive must be in uncompressed mode.";
inline constexpr std::string_view kErrorWritingTape = "Error writing firmware to tape.";
inline constexpr std::string_view kTapeComplete = "FUP tape operation complete.";
inline constexpr std::string_view kTapeNotComplete = "FUP tape operation did not complete.";

// The caption of the message boxes.
inline constexpr std::string_view kCaption = "Vexal";

}  // namespace vexal::firmware
