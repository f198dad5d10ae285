#pragma once
// The load-count threshold in Preferences: the drive's firmware parameter
// "KorvLoadCountThresh" (hundreds of loads before the load-count Tape Alert warning),
// read through the EEPROM parameter page and written back with MODE SELECT.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

#include "operator/operator.h"
#include "command/scsi_device.h"

namespace vexal::diag {

inline constexpr std::string_view kLoadCountParameter = "KorvLoadCountThresh";
inline constexpr long kLoadCountThresholdMinimum = 2;
inline constexpr long kLoadCountThresholdMaximum = 50;

// The Preferences items.
inline constexpr std::string_view kLoadCountItem = "Load Count Threshold";
inline constexpr std::string_view kLoadCountItemHelp = "Sets the Load Count Tape Alert Warning Threshold.";
inline constexpr std::string_view kLoadCountNumberItem = "Number of Loads * 100";
inline constexpr std::string_view kLoadCountNumberHelp =
    "Set the Load Count Tape Alert Warning Threshold\nto 100 times the input value, e.g., 50=5000, 2=200, etc.";

inline constexpr std::string_view kLoadCountNotFoundMessage =
    "The KorvLoadCountThreshold data field was not found in the drive's firmware.  You will not be able to adjust "
    "this field.";
inline constexpr std::string_view kLoadCountWriteFailedMessage = "Unable to change the load count threshold.";
inline constexpr std::string_view kLoadCountDefaultsNotice =
    "Loading defaults will not update the Load Count Threshold value.  This can only be updated using the "
    "'Apply' button.";

// Which drive families have the threshold: device::hasLoadCountThreshold.
bool loadCountThresholdInRange(long value);

// Reads the page and looks the parameter up; nullopt when the page cannot be read or does
// not list it (the caller then shows kLoadCountNotFoundMessage). A file error of the
// temporary file is shown to the operator on the way.
std::optional<long> ReadLoadCountThreshold(command::CScsiDevice& device, ui::Operator& op,
                                           const std::filesystem::path& installPath);

// MODE SELECT(6) of "KorvLoadCountThresh <value>"; true when it ended GOOD.
bool WriteLoadCountThreshold(command::CScsiDevice& device, long value);

}  // namespace vexal::diag
