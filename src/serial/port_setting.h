#pragma once
// Which serial port the script engine opens: the user setting "SerialPort". A device name
// or path ("ttyS0", "/dev/ttyUSB0", "COM1"), or "virtual" for the serial console of the
// first virtual drive that has one.
#include <string>

namespace vexal::serial {

inline constexpr const char* kSerialPortSetting = "SerialPort";
inline constexpr const char* kVirtualConsolePort = "virtual";

// The SerialPort setting as stored; "ttyS0" when it is not there.
std::string serialPortSetting();

// The name to open for a setting's value: "virtual" becomes the console path of the current
// virtual transport ("" when there is none); anything else is returned as it is.
std::string resolveSerialPort(const std::string& setting);

}  // namespace vexal::serial
