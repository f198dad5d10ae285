#pragma once
// The line format the script engine's serial port is opened with: the user setting
// "SerialLine", written as terminals write it, "<data bits><parity><stop bits>[,<flow>]":
// "8N1", "7E2,hardware". Data bits 5 to 8; parity N, O, E, M or S (either case); stop bits
// 1, 1.5 or 2; flow none (the default), hardware or software.
#include <cstdint>
#include <string>
#include <string_view>

#include "serial/line_settings.h"

namespace vexal::serial {

class SerialPort;

inline constexpr const char* kSerialLineSetting = "SerialLine";

struct LineChoice {
    uint8_t byteSize = 8;
    Parity parity = Parity::None;
    StopBits stopBits = StopBits::One;
    FlowControl flow = FlowControl::None;
};

// False for anything else than the form above (the choice is then left as it was).
bool parseLineChoice(std::string_view text, LineChoice& choice);
// "8N1,none".
std::string lineChoiceText(const LineChoice& choice);

// The setting; the defaults (8N1, no flow control) when it is absent or unreadable.
LineChoice serialLineSetting();

// Gives the port the choice (kept for the next open when the port is closed); false, with
// the port's status saying why, when the line refuses a value.
bool applyLineChoice(SerialPort& port, const LineChoice& choice);

}  // namespace vexal::serial
