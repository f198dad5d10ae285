#pragma once
// Writing one EEPROM parameter back: MODE SELECT(6) of page 3Eh whose text is the name,
// one blank and the new value.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "command/scsi_device.h"

namespace vexal::diag {

// The longest text that fits: the parameter list length (text + 7) is one byte.
inline constexpr size_t kEepromWriteMaxText = 255 - 7;

// "name value"; empty when either part is empty, holds a blank or control character, or
// the text is too long for the command.
std::string eepromWriteText(std::string_view name, std::string_view value);

// 15 10 00 00 [L + 7] 00: page format, the parameter list length.
std::array<uint8_t, 6> eepromWriteCdb(size_t textLength);

// The 4-byte mode parameter header (device-specific parameter 10h), page code 3Eh, page
// length L + 1, the text and its terminating zero.
std::vector<uint8_t> eepromWriteParameterList(std::string_view text);

struct EepromWriteOutcome {
    bool sent = false;              // false: the text was refused, nothing was sent
    command::ScsiResult result = 0; // 0: the command ended GOOD
    bool ok() const { return sent && result == 0; }
};

// Sends the write through the execute path, without a command frame.
EepromWriteOutcome WriteEepromParameter(command::CScsiDevice& device, std::string_view name, std::string_view value);

}  // namespace vexal::diag
