#pragma once
// Hand-made log pages for the diag tests.
#include <cstdint>
#include <string_view>
#include <vector>

namespace vexal::testing {

struct PageParameter {
    uint16_t code;
    std::vector<uint8_t> value;
    uint8_t control = 0;
};

// `value` as `width` big-endian bytes.
inline std::vector<uint8_t> bigEndianBytes(uint64_t value, size_t width) {
    std::vector<uint8_t> bytes(width);
    for (size_t i = 0; i < width; ++i) bytes[width - 1 - i] = static_cast<uint8_t>(value >> (8 * i));
    return bytes;
}

inline std::vector<uint8_t> textBytes(std::string_view text) { return {text.begin(), text.end()}; }

// A page with a correct length field.
inline std::vector<uint8_t> makePage(uint8_t code, const std::vector<PageParameter>& parameters) {
    std::vector<uint8_t> page{code, 0, 0, 0};
    for (const auto& p : parameters) {
        page.push_back(static_cast<uint8_t>(p.code >> 8));
        page.push_back(static_cast<uint8_t>(p.code));
        page.push_back(p.control);
        page.push_back(static_cast<uint8_t>(p.value.size()));
        page.insert(page.end(), p.value.begin(), p.value.end());
    }
    const size_t length = page.size() - 4;
    page[2] = static_cast<uint8_t>(length >> 8);
    page[3] = static_cast<uint8_t>(length);
    return page;
}

}  // namespace vexal::testing
