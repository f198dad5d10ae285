#include "cli/hex_bytes.h"

#include <cctype>

#include <fmt/format.h>

namespace vexal::cli {
namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool parseHexBytes(std::string_view text, std::vector<uint8_t>& bytes, std::string& error) {
    bytes.clear();
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (std::isspace(static_cast<unsigned char>(c)) || c == ',' || c == ':') {
            ++i;
            continue;
        }
        if (c == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X')) i += 2;
        // A group of digits: pairs make bytes; a lone digit is one byte.
        size_t start = i;
        while (i < text.size() && hexDigit(text[i]) >= 0) ++i;
        const size_t digits = i - start;
        if (digits == 0) {
            error = fmt::format("'{}' is not a hexadecimal byte.", text.substr(start, 1));
            return false;
        }
        if (digits % 2 == 1 && digits > 1) {
            error = fmt::format("'{}' has an odd number of hexadecimal digits.", text.substr(start, digits));
            return false;
        }
        if (digits == 1) {
            bytes.push_back(static_cast<uint8_t>(hexDigit(text[start])));
            continue;
        }
        for (size_t d = start; d < i; d += 2)
            bytes.push_back(static_cast<uint8_t>(hexDigit(text[d]) * 16 + hexDigit(text[d + 1])));
    }
    return true;
}

std::string hexString(const uint8_t* data, size_t length) {
    std::string out;
    out.reserve(length * 3);
    for (size_t i = 0; i < length; ++i) {
        if (i) out += ' ';
        out += fmt::format("{:02X}", data[i]);
    }
    return out;
}

}  // namespace vexal::cli
