#pragma once
// One log parameter as LOG SENSE returns it (code, control byte, value) and the page
// control field of LOG SENSE and LOG SELECT.
#include <cstdint>
#include <vector>

namespace vexal::device::virt {

enum class LogPageControl : uint8_t { Threshold = 0, Cumulative = 1, DefaultThreshold = 2, DefaultCumulative = 3 };

// Control byte bits: DU 80h, DS 40h, TSD 20h, ETC 10h, TMC 0Ch, LBIN 02h, LP 01h.
namespace log_control {
// DS: parameters are never saved through SP; the drive keeps them itself.
inline constexpr uint8_t Counter = 0x40;      // binary counters and status values
inline constexpr uint8_t AsciiList = 0x41;    // LP: ASCII list entries
inline constexpr uint8_t BinaryList = 0x43;   // LP and LBIN: binary list entries
inline constexpr uint8_t SelfTest = 0x03;     // LP and LBIN, as SPC gives the self-test results log
}  // namespace log_control

struct LogParameter {
    uint16_t code = 0;
    uint8_t control = log_control::Counter;
    std::vector<uint8_t> value;
};

}  // namespace vexal::device::virt
