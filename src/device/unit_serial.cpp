#include "device/unit_serial.h"

#include <algorithm>
#include <array>

#include "device/device_library.h"

namespace vexal::device {

std::optional<std::string> parseUnitSerialPage(std::span<const uint8_t> answer) {
    constexpr size_t kHeader = 4;
    if (answer.size() < kHeader || answer[1] != kUnitSerialPage) return std::nullopt;
    const size_t length = std::min<size_t>(answer[3], answer.size() - kHeader);
    std::string serial;
    for (uint8_t byte : answer.subspan(kHeader, length)) {
        if (byte == 0) break;
        serial += byte >= 0x20 && byte <= 0x7E ? static_cast<char>(byte) : '?';
    }
    const size_t first = serial.find_first_not_of(' ');
    if (first == std::string::npos) return std::nullopt;
    return serial.substr(first, serial.find_last_not_of(' ') - first + 1);
}

std::optional<std::string> readUnitSerial(int handle) {
    // The largest answer a 6-byte INQUIRY can ask for: serial numbers have no fixed length.
    constexpr uint8_t kAllocation = 0xFF;
    const uint8_t cdb[6] = {0x12, 0x01, kUnitSerialPage, 0x00, kAllocation, 0x00};
    if (DevExecute(handle, cdb, 6, kAllocation, 0) != 0) return std::nullopt;
    // The header first, then as much as the page says it holds: a read past what the
    // device sent copies nothing, and zeros parse as no serial number.
    std::array<uint8_t, kAllocation> answer{};
    DevReadBuffer(handle, answer.data(), 0, 4);
    const size_t length = std::min<size_t>(4 + size_t{answer[3]}, answer.size());
    DevReadBuffer(handle, answer.data(), 0, length);
    return parseUnitSerialPage(std::span<const uint8_t>(answer.data(), length));
}

}  // namespace vexal::device
