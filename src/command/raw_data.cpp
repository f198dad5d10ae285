#include "command/raw_data.h"

#include <algorithm>

#include <fmt/format.h>

namespace vexal::command {

std::string rawDataRow(const uint8_t* data, size_t count, size_t offset) {
    const size_t n = std::min<size_t>(16, count - offset);
    std::string row = fmt::format("  {:06X}: {:02X}", offset, data[offset]);
    for (size_t i = 1; i < n; ++i) row += fmt::format(" {:02X}", data[offset + i]);
    row.append(3 + 3 * (16 - n), ' ');
    for (size_t i = 0; i < n; ++i) {
        const uint8_t b = data[offset + i];
        row += (b >= 0x20 && b < 0x7F) ? static_cast<char>(b) : '.';
    }
    return row;
}

std::vector<std::string> rawDataLines(const uint8_t* data, size_t count) {
    std::vector<std::string> lines;
    lines.reserve(1 + (count + 15) / 16);
    lines.push_back(fmt::format(" RAW_DATA: {}", count));
    if (!data) return lines;
    for (size_t offset = 0; offset < count; offset += 16) lines.push_back(rawDataRow(data, count, offset));
    return lines;
}

}  // namespace vexal::command
