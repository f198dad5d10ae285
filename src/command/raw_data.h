#pragma once
// The raw data dump: " RAW_DATA: %u", then rows of 16 bytes in hex and as text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vexal::command {

std::vector<std::string> rawDataLines(const uint8_t* data, size_t count);
// One row of the dump (at most 16 bytes from `offset`).
std::string rawDataRow(const uint8_t* data, size_t count, size_t offset);

}  // namespace vexal::command
