#pragma once
// The texts of a session log file: its name, its time stamps, its header, and the CR LF
// line ends every log file is written with.
#include <ctime>
#include <string>
#include <string_view>

#include "platform/system_info.h"

namespace vexal::log {

inline constexpr std::string_view kLogTitle = "Vexal";
inline constexpr std::string_view kVersionTag = "[Vexal_Log_View (4.0.1 Build 8)]";

// "Vexal_MM-DD-YYYY_HHMMSS_<serial>" from the local time and the device's serial number
// with trailing blanks removed. A serial number comes from the device, so characters that
// cannot be part of a file name ('/', control bytes) become '_'.
std::string logBaseName(const std::tm& local, std::string_view serialNumber);

// The local time as "%a %b %d %I:%M:%S %p %Y", always in English whatever the locale.
std::string logTimeText(std::time_t when);

// Header lines 1 to 5, with '\n' line ends: title and version, start time and a blank
// line, computer name, operating system, the system details string and a blank line.
std::string logHeader(std::string_view startTime, const platform::SystemInformation& system);

// The trailer written when the file is closed.
std::string logTrailer(std::string_view stopTime);

// Every '\n' not already preceded by '\r' becomes "\r\n".
std::string withCrLf(std::string_view text);

}  // namespace vexal::log
