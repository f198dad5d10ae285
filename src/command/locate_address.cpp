#include "command/locate_address.h"

#include <cctype>

namespace vexal::command {

AddressError parseLocateAddress(std::string_view text, uint32_t& address) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    if (text.empty()) return AddressError::NotANumber;
    uint64_t value = 0;
    if (text.back() == 'H' || text.back() == 'h') {
        const std::string_view digits = text.substr(0, text.size() - 1);
        if (digits.empty() || digits.size() > 8) return AddressError::BadHex;
        for (char c : digits) {
            if (!std::isxdigit(static_cast<unsigned char>(c))) return AddressError::BadHex;
            value = value * 16 + static_cast<uint64_t>(std::isdigit(static_cast<unsigned char>(c))
                                                           ? c - '0'
                                                           : std::toupper(static_cast<unsigned char>(c)) - 'A' + 10);
        }
    } else {
        size_t start = 0;
        if (text.front() == '-') {
            if (text.size() == 1) return AddressError::NotANumber;
            start = 1;
        }
        for (size_t i = start; i < text.size(); ++i) {
            if (!std::isdigit(static_cast<unsigned char>(text[i]))) return AddressError::NotANumber;
            if (value < 0x100000000ULL) value = value * 10 + static_cast<uint64_t>(text[i] - '0');
        }
        if (start == 1 && value != 0) return AddressError::OutOfBounds;
    }
    // The dialog takes values from 0 up to, not including, 0xFFFFFF.
    if (value >= 0xFFFFFF) return AddressError::OutOfBounds;
    address = static_cast<uint32_t>(value);
    return AddressError::None;
}

const char* addressErrorText(AddressError error) {
    switch (error) {
    case AddressError::NotANumber: return kAddressNotANumber;
    case AddressError::BadHex: return kAddressBadHex;
    case AddressError::OutOfBounds: return kAddressOutOfBounds;
    case AddressError::None: break;
    }
    return "";
}

}  // namespace vexal::command
