#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexal::cli {

// Parses hex bytes such as "12 00 00 00 24 00", "12,00,0a" or "1200000024 00"; an
// optional "0x" prefix per byte is allowed. False with `error` set on anything else.
bool parseHexBytes(std::string_view text, std::vector<uint8_t>& bytes, std::string& error);

// "12 00 00 00 24 00"
std::string hexString(const uint8_t* data, size_t length);

}  // namespace vexal::cli
