#pragma once
// The rate codes of the BAUD statement.
#include <cstdint>

namespace vexal::serial {

// 9, 19, 38, 57 and 115 select 9600, 19200, 38400, 57600 and 115200 baud; 0 for any other.
constexpr uint32_t baudRateForCode(uint32_t code) {
    switch (code) {
    case 9: return 9600;
    case 19: return 19200;
    case 38: return 38400;
    case 57: return 57600;
    case 115: return 115200;
    default: return 0;
    }
}

}  // namespace vexal::serial
