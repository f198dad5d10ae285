#pragma once
// The Locate dialog's address: decimal, or hexadecimal in 'H' notation (1FH).
#include <cstdint>
#include <string_view>

namespace vexal::command {

enum class AddressError { None, NotANumber, BadHex, OutOfBounds };

inline constexpr const char* kAddressNotANumber = "Error in address field.  Must be entered in hex or integer format.";
inline constexpr const char* kAddressBadHex = "Incorrect hex format.  Use 'H' notation.";
inline constexpr const char* kAddressOutOfBounds = "The number you entered is out of bounds.";

AddressError parseLocateAddress(std::string_view text, uint32_t& address);
const char* addressErrorText(AddressError error);

}  // namespace vexal::command
