#pragma once
// The status texts of the serial port component: every operation leaves one of these, a
// write time-out text, or the operating system's text for the last system error.
#include <string>

namespace vexal::serial::status {

inline constexpr const char* kOk = "S_OK";
inline constexpr const char* kPortAlreadyInUse = "S_PORT_ALREADY_IN_USE";
inline constexpr const char* kPortNotConnected = "S_PORT_NOT_CONNECTED";
inline constexpr const char* kInvalidPortName = "S_INVALID_PORT_NAME";
inline constexpr const char* kInvalidFunctionAddress = "S_INVALID_FUNCTION_ADDRESS";
inline constexpr const char* kInvalidCallbackFunctionAddress = "S_INVALID_CALLBACK_FUNCTION_ADDRESS";
inline constexpr const char* kInvalidHandle = "S_INVALID_HANDLE";
inline constexpr const char* kInvalidByteSize = "S_INVALID_BYTE_SIZE";
inline constexpr const char* kErrorCreatingIoEventObjects = "S_ERROR_CREATING_IO_EVENT_OBJECTS";

// "Probable write timeout: total of %ld bytes sent"
std::string writeTimeout(long bytesSent);
// The system's text for an errno value.
std::string systemError(int error);

}  // namespace vexal::serial::status
