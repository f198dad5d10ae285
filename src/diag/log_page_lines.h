#pragma once
// The named lines of the log pages the program knows: the write and read error counters
// (pages 02h and 03h), temperature (0Dh), compression statistics (32h) and device status
// (3Eh). A parameter that cannot be fetched gives the fetch-failed message in place of
// its line; the other lines are still made.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "diag/log_page.h"

namespace vexal::diag {

struct DecodedLine {
    std::string text;                   // the line, or the fetch-failed message
    std::optional<uint16_t> failedCode; // set when the parameter could not be fetched
};

// "Log Page fetch failed for code: 0x%04X."
std::string fetchFailedText(uint16_t parameterCode);

// "Cleaning Required" (4), "Cleaning Requested" (2), "Cleaning Tape Expired" (1),
// "None" (0), otherwise "Unknown Status".
std::string_view cleaningStatusText(uint32_t status);

// The lines of `page` in parameter order; empty for a page without named lines.
std::vector<DecodedLine> counterLines(const LogPage& page);

}  // namespace vexal::diag
