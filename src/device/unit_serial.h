#pragma once
// The unit serial number of a device: INQUIRY vital product data page 80h.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace vexal::device {

inline constexpr uint8_t kUnitSerialPage = 0x80;

// The serial number in a page 80h answer: the bytes the page length (byte 3) covers, as
// far as `answer` holds them and up to a NUL, blanks trimmed, any byte that is not
// printable ASCII shown as '?'. nullopt when `answer` is not page 80h or holds no serial.
std::optional<std::string> parseUnitSerialPage(std::span<const uint8_t> answer);

// Asks device `handle` of the list for page 80h; nullopt unless it answered GOOD with a
// serial number.
std::optional<std::string> readUnitSerial(int handle);

}  // namespace vexal::device
